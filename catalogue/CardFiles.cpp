#include "catalogue/CardFiles.h"

#include <cstdio>

#include "catalogue/CatalogueCheck.h"

namespace sondesk {

std::string SongFileName(unsigned songNumber) {
  return Format("%05u.MF3", songNumber);
}

bool CardFiles::ReadFileStart(int folder, const std::string& name, std::size_t count,
                              std::vector<std::uint8_t>& out) {
  if (!ReadFile(folder, name, out)) return false;
  if (out.size() > count) out.resize(count);
  return true;
}

bool CardFiles::FindSongFiles(std::vector<std::uint64_t>& present) {
  present.assign((kSongNumberLimit + 63) / 64, 0);
  bool readable = true;
  std::vector<CardFolderItem> items;
  for (int folder = 0; folder < kSongFolderCount; ++folder) {
    if (!ListFolderNames(folder, items)) {
      readable = false;
      continue;
    }
    for (const CardFolderItem& item : items) {
      if (item.isFolder || item.deleted) continue;
      const int number = RecoverableSongNumber(item.name, folder);
      if (number >= 0) present[static_cast<std::size_t>(number) / 64] |= std::uint64_t{1} << (number % 64);
    }
  }
  return readable;
}

}  // namespace sondesk
