#pragma once
// The demo library's songs: a handful of traditional tunes whose words and music are long in the
// public domain, written here as karaoke MIDI files in the Tune1000 manner: the words as text
// events, one syllable each, '@' lines for the header, '/' for a new line and '\' for a new page.

#include <cstdint>
#include <string>
#include <vector>

namespace sondesk {

struct DemoSongInfo {
  const char* fileName;   // "TWINKLE TWINKLE.KAR"
  const char* title;      // as the library shows it (at most 27 characters)
  const char* performer;  // UTF-8
  const char* category;   // UTF-8
};

const std::vector<DemoSongInfo>& DemoSongList();

// The bytes of demo song `index` as a format 1 Standard MIDI file.
std::vector<std::uint8_t> DemoSongFile(std::size_t index);

// True when song `index` has one syllable for every sung note: a word too many would shift every
// later syllable off its note.
bool DemoSongWordsFitMelody(std::size_t index);

// Writes every demo song into `folder` (made when missing). The paths written; empty on failure.
std::vector<std::string> WriteDemoSongs(const std::string& folder);

}  // namespace sondesk
