#include "catalogue/CatalogueRecords.h"

#include <algorithm>
#include <cstring>

#include "app/Endian.h"

namespace sondesk {

namespace {
std::string_view CutName(std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  return text.substr(0, std::min(text.size(), kCatalogueTextMax));
}
}  // namespace

CatalogueRecord MakeTitleRecord(std::uint16_t number, std::string_view text) {
  CatalogueRecord r{};
  PutLe16(r.data(), number);
  const std::string_view name = CutName(text);
  if (!name.empty()) std::memcpy(r.data() + 2, name.data(), name.size());
  return r;
}

CatalogueRecord MakeDirectoryRecord(std::string_view name, std::uint16_t position) {
  CatalogueRecord r{};
  PutLe16(r.data(), kDirectoryEntryMark);
  const std::string_view cut = CutName(name);
  if (!cut.empty()) std::memcpy(r.data() + 2, cut.data(), cut.size());
  PutLe16(r.data() + 30, position);
  return r;
}

std::string RecordText(const std::uint8_t* record) {
  const char* text = reinterpret_cast<const char*>(record + 2);
  std::size_t n = 0;
  while (n < kCatalogueTextMax && text[n] != 0) ++n;
  return std::string(text, n);
}

int CompareCatalogueText(std::string_view a, std::string_view b) {
  const std::size_t na = std::min(a.find('\0'), a.size());
  const std::size_t nb = std::min(b.find('\0'), b.size());
  const std::size_t common = std::min(na, nb);
  const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (c != 0) return c < 0 ? -1 : 1;
  return na < nb ? -1 : na > nb ? 1 : 0;
}

int LetterIndexOf(std::string_view name) {
  if (name.empty()) return -1;
  unsigned char c = static_cast<unsigned char>(name[0]);
  if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return c - 'A';
  return -1;
}

}  // namespace sondesk
