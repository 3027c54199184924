#include "midi/SxsEvent.h"

#include "midi/PlayerCharset.h"

namespace sondesk {

namespace {

const std::string kEmpty;

// The control range is where the player keeps its accented letters: only the codes that stand
// for no letter (the line feed that ends a page line, NUL, ...) are left out.
std::string Printable(const std::string& text, std::size_t limit) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b < 0x20 && LetterOfPlayerCode(b) == b) continue;
    if (out.size() == limit) break;
    out.push_back(c);
  }
  return out;
}

}  // namespace

bool ParseSxs(std::span<const std::uint8_t> data, int& type, std::string& text) {
  if (data.size() < 5 || data[0] != 0x00 || data[1] != 0x20 || data[2] != 0x24 || data[3] != 0x00)
    return false;
  type = data[4];
  std::size_t end = data.size();
  if (end > 5 && data[end - 1] == 0xF7) --end;
  text.assign(data.begin() + 5, data.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

std::vector<std::uint8_t> MakeSxsData(int type, std::string_view text) {
  std::vector<std::uint8_t> data(text.size() + 6);
  data[0] = 0x00;
  data[1] = 0x20;
  data[2] = 0x24;
  data[3] = 0x00;
  data[4] = static_cast<std::uint8_t>(type);
  for (std::size_t i = 0; i < text.size(); ++i) data[5 + i] = static_cast<std::uint8_t>(text[i]);
  data.back() = 0xF7;
  return data;
}

void SxsTables::Add(int type, const std::string& text) {
  if (type == kSxsChord) {
    chords.push_back(Printable(text, kChordChars));
  } else if (type >= kSxsPageLine1 && type <= kSxsPageLine4) {
    pageLines.push_back(Printable(text, kPageLineChars));
  }
}

const std::string& SxsTables::Chord(std::size_t index) const {
  return index < chords.size() ? chords[index] : kEmpty;
}

const std::string& SxsTables::PageLine(std::size_t index) const {
  return index < pageLines.size() ? pageLines[index] : kEmpty;
}

}  // namespace sondesk
