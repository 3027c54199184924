#pragma once
// The lyric pages an MF3 song holds, as the player will show them: the page-line events of its
// payload gathered into pages of four lines, each page with the moment its first line is sung.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "midi/LyricPages.h"

namespace sondesk {

struct Mf3LyricPages {
  LyricLayout layout;                  // the lines in the player's character set
  std::vector<double> seconds;         // per page: when its first line is sung (-1 if never)
  bool damaged = false;                // the payload broke off; the pages read before are given
};

// Reads a payload (the player's simplified MIDI file) for its lyric pages.
Mf3LyricPages ReadPayloadLyricPages(std::span<const std::uint8_t> payload);

// The pages as boxes of four lines, each headed by its number and time ("page 3  at 0:41.2"),
// accented letters turned back from the player's codes; UTF-8 for the terminal.
std::string Mf3LyricPagesText(const Mf3LyricPages& pages);

}  // namespace sondesk
