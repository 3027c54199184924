#pragma once
// Page building: the chosen character stream becomes the pages the player shows, each of
// exactly four lines, and the list of chord symbols with their times.
//
// A page ends where the source asks for one (the '\' of the Tune1000 convention) and otherwise
// after four lines; a fifth line opens the next page. Lines that show nothing are dropped, so no
// page in the middle of a song is empty; short pages are filled with empty lines.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "midi/LyricStreams.h"

namespace sondesk {

inline constexpr std::size_t kLyricChordCapacity = 200;
inline constexpr std::size_t kLyricChordLength = 10;

struct LyricLine {
  std::string text;                  // in the player's character set
  std::vector<std::uint32_t> times;  // the time of each character of `text`
  bool trackName = false;            // made from a track name: shown, never highlighted

  bool empty() const { return text.empty(); }
};

struct LyricPage {
  std::array<LyricLine, 4> lines;
};

struct LyricChord {
  std::uint32_t time = 0;
  std::string text;  // without the '~' that marked it, at most 10 characters
};

struct LyricLayout {
  std::vector<LyricPage> pages;
  std::vector<LyricChord> chords;  // in time order, at most 200
  bool chordsDropped = false;      // symbols beyond the 200 were left out
};

LyricLayout BuildLyricPages(const std::vector<LyricEntry>& stream);

}  // namespace sondesk
