#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "cli/CliContext.h"
#include "messages/Cp1252.h"
#include "midi/LyricPreview.h"
#include "midi/Mf3File.h"
#include "midi/Mf3Lyrics.h"
#include "midi/LyricRewrite.h"
#include "midi/LyricStreams.h"

namespace sondesk {

namespace {

bool IsMf3Path(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".MF3";
}

// The pages an MF3 song (from the library or a card) gives the player, with the time of each.
void PrintMf3Pages(CliContext& ctx, const std::string& path) {
  Mf3Header header;
  std::vector<std::uint8_t> payload;
  if (DecodeMf3ToMemory(ctx.session(), path, header, payload) != 0) {
    ctx.exitCode = 1;
    return;
  }
  const Mf3LyricPages pages = ReadPayloadLyricPages(payload);
  if (pages.layout.pages.empty()) {
    std::cerr << "sondesk-cli: " << path << " holds no lyric pages\n";
    return;
  }
  std::cout << Mf3LyricPagesText(pages);
  if (pages.damaged) std::cerr << "sondesk-cli: the song's payload breaks off after these pages\n";
}

}  // namespace

void RegisterLyricsCommands(CLI::App& app, CliContext& ctx) {
  auto* lyrics = app.add_subcommand(
      "lyrics", "the lyric pages that the conversion would give the player, as boxes of four lines");
  auto source = std::make_shared<std::string>();
  lyrics->add_option("SRC", *source, "a standard MIDI file (.MID, .KAR) or an MF3 song")->required();
  lyrics->callback([&ctx, source] {
    Session& session = ctx.session();
    if (!IsFile(*source)) return ctx.Fail(Cp1252ToUtf8(FormatText(session.Text(9), source->c_str())));
    if (IsMf3Path(*source)) return PrintMf3Pages(ctx, *source);
    LyricRewriteCounts counts;
    if (RewriteLyricSong(session, *source, session.workDir(), counts) != 1) {
      // A file the reader refused has had its message; a song without plain lyrics is no error.
      if (counts.sourceUnreadable) {
        ctx.exitCode = 1;
      } else if (counts.lyricCharCount > kLyricStreamMinimum) {
        std::cerr << "sondesk-cli: no lyric pages written: the song carries the player's own lyric events ("
                  << counts.lineAdvanceCount << " line advances)\n";
      } else {
        std::cerr << "sondesk-cli: no lyric pages written: no lyric text of more than " << kLyricStreamMinimum
                  << " characters (" << counts.lyricCharCount << ")\n";
      }
      return;
    }
    const std::string previewPath = JoinPath(session.workDir(), "TEXT.TXT");
    std::string preview;
    if (!ReadWholeFile(previewPath, preview))
      return ctx.Fail(Cp1252ToUtf8(FormatText(session.Text(9), previewPath.c_str())));
    std::cout << Cp437ToUtf8(preview);
  });
}

}  // namespace sondesk
