#pragma once
// The character streams of the lyric analysis: every lyric, text and track-name event of a song
// adds its characters, one entry with its time each, to the stream of its slot (the track number
// for lyric and track-name events, the track number + 64 for text events). Lines are wrapped to
// the widths of the player's page while the characters come in; afterwards the richest stream is
// chosen as the song's lyrics.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sondesk {

inline constexpr int kLyricSlotCount = 128;
inline constexpr int kTextSlotOffset = 64;
inline constexpr std::size_t kLyricStreamCapacity = 10000;
// The player's page lines: three of 39 characters and a last, shorter one.
inline constexpr std::array<int, 4> kLyricLineLimits = {39, 39, 39, 32};
// Texts this long or longer are not lyrics (copyright notes, comments) and are left out.
inline constexpr std::size_t kLyricTextLimit = 39;
// A slot with more chord lines than this is a chord track.
inline constexpr int kChordTrackLines = 6;
// A stream needs more lyric characters than this to be chosen.
inline constexpr int kLyricStreamMinimum = 100;

enum class LyricMark : std::uint8_t {
  Char,       // a character of a page line
  LineBreak,  // the end of a line
  PageBreak,  // the end of a line and of its page
  TrackName,  // the '%' entry that opens the line made from a track name
  Chord,      // a character of a chord symbol; the first is the '~' that opens it
  ChordEnd,   // the end of a chord symbol
};

struct LyricEntry {
  std::uint32_t time = 0;
  std::uint8_t ch = 0;
  LyricMark mark = LyricMark::Char;
};

inline bool IsChordEntry(const LyricEntry& e) {
  return e.mark == LyricMark::Chord || e.mark == LyricMark::ChordEnd;
}

struct LyricSlot {
  std::vector<LyricEntry> entries;
  int chordLines = 0;
  bool bracketMode = false;
  bool full = false;    // characters beyond the capacity were dropped
  int lineCounter = 0;  // page line 0-3 that the characters now go to

  // The current line: entry indices of its characters, and whether one of them is not a blank
  // (a line of blanks shows nothing and is no page line).
  std::vector<std::size_t> line;
  bool lineHasInk = false;
  bool afterCarriageReturn = false;

  bool IsChordTrack() const { return chordLines > kChordTrackLines; }
  // The characters that show on the pages, blanks included: what the stream holds of lyrics.
  // Breaks, chord symbols and the track-name mark are not counted.
  int LyricCharacters() const;
};

// The chosen stream, with the chords of a chord track merged in by time.
struct LyricChoice {
  int slot = -1;  // -1: no stream has enough lyrics
  int chordTrackSlot = -1;
  std::vector<LyricEntry> stream;
  int lyricChars = 0;
  bool truncated = false;  // entries beyond the capacity were dropped
};

class LyricStreams {
 public:
  // One meta event of type 01 (text), 03 (track name) or 05 (lyric) of track `track` (counted
  // from 0); its text as the file holds it. Other types are ignored.
  void AddMetaText(std::uint32_t time, int track, std::uint8_t type, std::string_view text);

  // The stream with the most lyric characters (above the minimum), preferring one that is not in
  // bracket mode. Under `frenchRule` a text-event stream must have more than 1.5 times the
  // characters of the best stream before it to win.
  LyricChoice Choose(bool frenchRule) const;

  const LyricSlot& slot(int index) const { return slots_[static_cast<std::size_t>(index)]; }
  // Events of tracks that have no slot (beyond 64) were met and left out.
  bool tracksBeyondSlots() const { return tracksBeyondSlots_; }

 private:
  bool Append(LyricSlot& s, LyricEntry e);
  void AppendChar(LyricSlot& s, std::uint32_t time, std::uint8_t ch);
  void EndLine(LyricSlot& s, std::uint32_t time, LyricMark mark);
  void AdvanceLine(LyricSlot& s, bool hadInk);
  void Wrap(LyricSlot& s);
  void AddChordLine(LyricSlot& s, std::uint32_t time, std::string_view text, bool percentForm);
  void AddTrackName(LyricSlot& s, std::uint32_t time, std::string text);
  void AddLyricText(LyricSlot& s, std::uint32_t time, std::string_view text);

  std::array<LyricSlot, kLyricSlotCount> slots_;
  bool tracksBeyondSlots_ = false;
};

// True for a text event that names a chord: shorter than 17 characters, ending in two blanks and
// starting with a note name (A to G in capitals, or DO RE MI FA SOL LA SI in any case).
bool IsChordText(std::string_view text);

}  // namespace sondesk
