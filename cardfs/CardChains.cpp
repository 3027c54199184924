// The card's chains checked against each other before anything is written: a cut format, a cut
// write of another system or a damaged FAT can leave a file whose chain runs into a cluster the FAT
// calls free, or into the chain of another file. Writing then would hand those clusters out again
// and cross-link songs; recovering would read songs out of each other's clusters.

#include <vector>

#include "cardfs/CardFileSystem.h"

namespace sondesk {

int CardFileSystem::CheckChains(std::string& problem) {
  problem.clear();
  if (!mounted_) return Fail(CardError::NotMounted);
  const std::uint32_t last = geometry_.LastCluster;
  std::vector<bool> owned(static_cast<std::size_t>(last) + 1, false);
  auto follow = [&](const std::string& where, std::uint32_t first) {
    std::uint32_t c = first;
    for (;;) {
      if (!geometry_.IsDataCluster(c)) {
        problem = Format("the chain of %s leaves the data area at cluster %u", where.c_str(), c);
        return false;
      }
      if (owned[c]) {
        problem = Format("%s shares cluster %u with another file", where.c_str(), c);
        return false;
      }
      owned[c] = true;
      const std::uint16_t next = GetFatEntry(c);
      if (device_->Aborted()) return false;
      if (next == kFatFree) {
        problem = Format("the chain of %s runs into cluster %u, which the FAT calls free", where.c_str(), c);
        return false;
      }
      if (IsEndOfChain(next)) return true;
      c = next;
    }
  };
  auto walk = [&](const std::string& dir) {
    std::vector<DirEntryRef> entries;
    if (!ListDirectory(dir, entries)) return !device_->Aborted();
    for (const DirEntryRef& r : entries) {
      const DirEntry& e = r.entry;
      if (e.IsLongNamePart() || e.IsVolumeLabel() || e.IsDotEntry() || e.firstCluster == 0) continue;
      const std::string where = (dir.empty() ? "" : dir + "\\") + e.Name11();
      if (!follow(where, e.firstCluster)) return false;
    }
    return true;
  };
  if (!walk("")) return problem.empty() ? Fail(CardError::Aborted) : Fail(CardError::Corrupt);
  std::vector<DirEntryRef> root;
  ListDirectory("", root);
  for (const DirEntryRef& r : root) {
    if (!r.entry.IsDirectory() || r.entry.IsDotEntry() || r.entry.IsLongNamePart()) continue;
    if (!walk(r.entry.Name11())) return problem.empty() ? Fail(CardError::Aborted) : Fail(CardError::Corrupt);
  }
  return 1;
}

}  // namespace sondesk
