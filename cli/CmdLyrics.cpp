#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "cli/CliContext.h"
#include "messages/Cp1252.h"
#include "midi/LyricPreview.h"
#include "midi/LyricRewrite.h"
#include "midi/LyricStreams.h"

namespace sondesk {

void RegisterLyricsCommands(CLI::App& app, CliContext& ctx) {
  auto* lyrics = app.add_subcommand(
      "lyrics", "the lyric pages that the conversion would give the player, as boxes of four lines");
  auto source = std::make_shared<std::string>();
  lyrics->add_option("SRC", *source, "a standard MIDI file (.MID, .KAR)")->required();
  lyrics->callback([&ctx, source] {
    Session& session = ctx.session();
    if (!IsFile(*source)) return ctx.Fail(Cp1252ToUtf8(FormatText(session.Text(9), source->c_str())));
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
