#include "midi/SxsEvent.h"

namespace sondesk {

namespace {

const std::string kEmpty;

std::string Printable(const std::string& text, std::size_t limit) {
  std::string out;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) continue;
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
