// Outside bytes through the lyric page rewrite, two ways: as the texts of lyric, text and
// track-name events fed straight to the character streams (the page building and the lyric track
// must keep their limits whatever the texts hold), and as a whole MIDI file rewritten in a work
// folder of its own.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/LyricPages.h"
#include "midi/LyricPreview.h"
#include "midi/LyricRewrite.h"
#include "midi/LyricStreams.h"
#include "midi/LyricTrack.h"

using namespace sondesk;

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/fuzz_lyrics.XXXXXX";
    const char* made = mkdtemp(name);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder;
}

void CheckStreams(std::string_view bytes) {
  // Texts separated by NUL bytes; the first byte of each picks the kind of event and the track.
  LyricStreams streams;
  std::uint32_t time = 0;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\0');
    std::string_view text = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    if (text.empty()) continue;
    const auto pick = static_cast<std::uint8_t>(text[0]);
    static constexpr std::uint8_t kTypes[] = {0x01, 0x03, 0x05, 0x05};
    time += pick & 0x0F;
    streams.AddMetaText(time, (pick >> 4) & 0x03, kTypes[(pick >> 6) & 0x03], text.substr(1));
  }
  for (bool french : {false, true}) {
    const LyricChoice choice = streams.Choose(french);
    if (choice.stream.size() > kLyricStreamCapacity) __builtin_trap();
    const LyricLayout layout = BuildLyricPages(choice.stream);
    if (layout.chords.size() > kLyricChordCapacity) __builtin_trap();
    for (const auto& page : layout.pages) {
      if (page.lines[0].empty()) __builtin_trap();  // no empty page
      for (const auto& line : page.lines) {
        if (line.text.size() != line.times.size()) __builtin_trap();
      }
    }
    const LyricTrack track = BuildLyricTrack(layout);
    for (std::size_t i = 1; i < track.events.size(); ++i) {
      if (track.events[i].time < track.events[i - 1].time) __builtin_trap();
      if (track.events[i].bytes.size() > kPageLineWidth + 9) __builtin_trap();
    }
    (void)LyricPreviewText(layout);
  }
}

void CheckFile(const std::uint8_t* data, std::size_t size) {
  const std::string source = Folder() + "/song.mid";
  std::FILE* f = std::fopen(source.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  ScriptedUi ui;
  Paths paths;
  paths.windir = Folder();
  paths.workDir = Folder() + "/work";
  paths.dataDir = Folder() + "/data";
  Session session(ui, paths, SystemClock(), 1);
  LyricRewriteCounts counts;
  const int result = RewriteLyricSong(session, source, paths.workDir, counts);
  if (result == 1 && access((paths.workDir + "/Tune1000.MID").c_str(), F_OK) != 0) __builtin_trap();
  if (result == 1 && counts.lyricCharCount <= kLyricStreamMinimum) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckStreams(std::string_view(reinterpret_cast<const char*>(data), size));
  CheckFile(data, size);
  return 0;
}
