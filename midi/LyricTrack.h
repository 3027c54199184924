#pragma once
// The lyric track: the page, line-advance, highlight and chord events that show a song's pages
// on the player, timed against the sung characters.
//
// For every page the highlight is reset (controller 31 = 127) and the four lines are sent
// (lyric events 04-07) shortly before the page's first character; then each line is announced
// by controller 31 = 0 and a line advance (08) at its first character, and each syllable lights
// the line up to its last letter (controller 31 = letters so far). Chord symbols (01) go out in
// time order among them. The player needs a little time between events: page and line events
// keep 5 ticks from the one before, the others 2; an event is never moved earlier.

#include <cstdint>
#include <string>
#include <vector>

#include "midi/LyricPages.h"

namespace sondesk {

// The widest line the player shows; longer lines are cut.
inline constexpr std::size_t kPageLineWidth = 39;

struct LyricTrackEvent {
  std::uint32_t time = 0;
  std::vector<std::uint8_t> bytes;  // a complete event: status, (length,) data
};

struct LyricTrack {
  std::vector<LyricTrackEvent> events;  // in time order
  bool linesCut = false;                // a line longer than the player's width was cut
};

// The player's lyric event as a whole event: F0, length, 00 20 24 00, type, text, F7.
std::vector<std::uint8_t> MakeSxsEvent(int type, const std::string& text);

LyricTrack BuildLyricTrack(const LyricLayout& layout);

}  // namespace sondesk
