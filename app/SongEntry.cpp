#include "app/SongEntry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/Endian.h"

namespace sondesk {

namespace {
constexpr std::size_t kOffNumber = 0, kOffPath = 16, kOffTitle = 144, kOffPerformer = 172, kOffCategory = 200,
                      kOffListIndex = 284, kOffEdited = 286, kOffFileSize = 288, kOffScan = 296, kOffBoth = 300,
                      kOffDelete = 304;
static_assert(kOffCategory + 28 + 56 == kOffListIndex);
static_assert(kOffDelete + 4 == kSongEntrySize);

void PutText(std::uint8_t* dst, std::size_t field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field - 1);
  std::memcpy(dst, text.data(), n);
}

std::string GetText(const std::uint8_t* src, std::size_t field) {
  std::size_t n = 0;
  while (n < field && src[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(src), n);
}
}  // namespace

std::string SongEntry::CutText(std::string_view text, std::size_t max) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  return std::string(text.substr(0, max));
}

std::array<std::uint8_t, kSongEntrySize> SerializeSongEntry(const SongEntry& e) {
  std::array<std::uint8_t, kSongEntrySize> r{};
  PutText(&r[kOffNumber], 16, e.numberText);
  PutText(&r[kOffPath], kSongPathField, e.path);
  PutText(&r[kOffTitle], 28, e.title);
  PutText(&r[kOffPerformer], 28, e.performer);
  PutText(&r[kOffCategory], 28, e.category);
  PutLe16(&r[kOffListIndex], e.listIndex);
  PutLe16(&r[kOffEdited], e.edited);
  PutLe32(&r[kOffFileSize], e.fileSize);
  PutLe16(&r[kOffScan], e.scanNumber);
  PutLe32(&r[kOffBoth], static_cast<std::uint32_t>(e.inBothLists));
  PutLe32(&r[kOffDelete], static_cast<std::uint32_t>(e.deletionMark));
  return r;
}

SongEntry ParseSongEntry(const std::uint8_t* r) {
  SongEntry e;
  e.numberText = GetText(r + kOffNumber, 16);
  e.path = GetText(r + kOffPath, kSongPathField);
  e.title = GetText(r + kOffTitle, 28);
  e.performer = GetText(r + kOffPerformer, 28);
  e.category = GetText(r + kOffCategory, 28);
  e.listIndex = GetLe16(r + kOffListIndex);
  e.edited = GetLe16(r + kOffEdited);
  e.fileSize = GetLe32(r + kOffFileSize);
  e.scanNumber = GetLe16(r + kOffScan);
  e.inBothLists = static_cast<std::int32_t>(GetLe32(r + kOffBoth));
  e.deletionMark = static_cast<std::int32_t>(GetLe32(r + kOffDelete));
  return e;
}

bool SongList::push_back(SongEntry entry) {
  if (full()) return false;
  entries_.push_back(std::move(entry));
  return true;
}

void SongList::Renumber() {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    entries_[i].listIndex = static_cast<std::uint16_t>(i);
    char text[kNumberTextMax + 1] = {};
    PutDecimal(text + kNumberTextMax, kNumberTextMax, static_cast<unsigned>(i), ' ');
    entries_[i].numberText.AssignFromField(text, kNumberTextMax);
  }
}

std::string FormatNumberText(int n) {
  // Every list position is small and positive: formatted by hand, since a list of 16,384 songs
  // is renumbered after each read.
  if (n >= 0 && n <= 999999) {
    std::string text(6, ' ');
    PutDecimal(text.data() + 6, 6, static_cast<unsigned>(n), ' ');
    return text;
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "%6d", n);
  return buf;
}

}  // namespace sondesk
