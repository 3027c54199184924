#pragma once
// The player's own lyric events: SysEx F0 len 00 20 24 00 type text F7. Type 0x01 shows chords,
// 0x03 and 0x44 control the display, 0x04 to 0x07 are the four lines of a lyric page, 0x08
// advances to the next line, 0x0F announces the page line that follows.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sondesk {

enum SxsType : int {
  kSxsChord = 0x01,
  kSxsStart = 0x03,
  kSxsPageLine1 = 0x04,
  kSxsPageLine4 = 0x07,
  kSxsLineAdvance = 0x08,
  kSxsNextLine = 0x0F,
  kSxsReset = 0x44,
};

// Whether the data of a SysEx event (the bytes after F0 and its length) is a lyric event; gives
// its type and its text (the bytes behind the type, without the closing F7).
bool ParseSxs(std::span<const std::uint8_t> sysExData, int& type, std::string& text);

// The data of a lyric event: 00 20 24 00 type text F7.
std::vector<std::uint8_t> MakeSxsData(int type, std::string_view text);

// The chord symbols and page lines of a song, in song order, as the conversion's pre-scan finds
// them. Control characters are left out, but not the player's letter codes among them; chords
// keep 19 characters, page lines 45. The tables grow with the song: a song with more chords or
// lines than the original fixed tables held keeps them all instead of writing beyond them.
struct SxsTables {
  static constexpr std::size_t kChordChars = 19;
  static constexpr std::size_t kPageLineChars = 45;

  std::vector<std::string> chords;
  std::vector<std::string> pageLines;

  void Clear() {
    chords.clear();
    pageLines.clear();
  }
  // Files a lyric event met by the pre-scan.
  void Add(int type, const std::string& text);
  // The entry or "" beyond the end.
  const std::string& Chord(std::size_t index) const;
  const std::string& PageLine(std::size_t index) const;
};

}  // namespace sondesk
