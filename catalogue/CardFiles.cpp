#include "catalogue/CardFiles.h"

#include <cstdio>

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

}  // namespace sondesk
