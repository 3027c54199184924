#pragma once
// What the player's screen shows while a song plays, worked out from the song's own lyric events:
// the page of four lines (SXS types 04 to 07), the line being sung (type 08 advances to it), how
// much of it is sung (controller 31 on channel 1 counts its non-blank letters; 127 opens a page),
// the chord line (type 01) and the announced next line (type 0F). A host can check a song against
// this before it goes to the card.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sondesk {

struct KaraokeState {
  int page = -1;                     // pages opened so far, from 0; -1 before the first
  std::array<std::string, 4> lines;  // Windows-1252, line feeds removed
  int currentLine = -1;              // the line being sung; -1 while the page waits for its first
  int litLetters = 0;                // non-blank letters of the current line already sung
  std::string chord;                 // the chord sounding now
  std::string nextChords;            // the two after it, as the player lists them
  std::string nextLine;              // the page line announced to follow

  // The number of characters of `lines[currentLine]` shown as sung.
  std::size_t LitLength() const;
  bool operator==(const KaraokeState&) const = default;
};

// A line as it starts being sung, for printing along with the music.
struct SungLine {
  std::uint64_t tick = 0;
  std::string text;  // Windows-1252
};

class KaraokeTimeline {
 public:
  // From a decompressed payload (480 ticks a quarter). A payload that cannot be read gives an
  // empty timeline, so a damaged song shows "no lyric pages" rather than half a page.
  static KaraokeTimeline FromPayload(std::span<const std::uint8_t> payload);

  bool hasPages() const { return !pageTicks_.empty(); }
  std::size_t pageCount() const { return pageTicks_.size(); }
  // The first tick at which page `index` stands whole and nothing of it is sung yet: where a step
  // through the pages without sound shows it.
  std::uint64_t PageTick(std::size_t index) const { return pageTicks_.at(index); }

  // The screen at `tick` of the song.
  KaraokeState StateAt(std::uint64_t tick) const;
  // The page shown at `tick` (-1 before the first).
  int PageAt(std::uint64_t tick) const { return StateAt(tick).page; }

  std::vector<SungLine> SungLines() const;

 private:
  enum class Kind : std::uint8_t { PageLine, Advance, Highlight, PageOpen, Chord, NextLine };
  struct Event {
    std::uint64_t tick;
    Kind kind;
    int value;         // line number for PageLine, letters for Highlight
    std::string text;  // Windows-1252
  };
  static void Apply(KaraokeState& s, const Event& e, bool& freshPage);

  std::vector<Event> events_;
  std::vector<std::uint64_t> pageTicks_;
};

}  // namespace sondesk
