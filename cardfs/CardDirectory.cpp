// Directories: the root image, the one level of directories below it, lookups, free slots and
// listings.

#include <algorithm>
#include <cstring>

#include "cardfs/CardFileSystem.h"
#include "cardfs/ChainGuard.h"

namespace sondesk {

namespace {

bool NameMatches(const DirEntry& e, const std::string& name11) {
  return name11.size() == kName11Length && std::memcmp(e.name.data(), name11.data(), kName11Length) == 0;
}

}  // namespace

void CardFileSystem::StampDirEntry(DirEntry& entry) const {
  sondesk::StampDirEntry(entry, localTime());
}

std::uint32_t CardFileSystem::RootEntryCount() const {
  return std::min<std::uint32_t>(geometry_.RootDirEnts,
                                 static_cast<std::uint32_t>(root_.size() / kDirEntrySize));
}

DirEntry CardFileSystem::RootEntry(std::uint32_t index) const {
  return DirEntry::Parse(root_.data() + static_cast<std::size_t>(index) * kDirEntrySize);
}

void CardFileSystem::PutRootEntry(std::uint32_t index, const DirEntry& entry) {
  entry.Serialize(root_.data() + static_cast<std::size_t>(index) * kDirEntrySize);
}

bool CardFileSystem::WriteRootSectorOf(std::uint32_t index) {
  const std::uint32_t s = index / 16;
  return WriteSectors(geometry_.RootLba + s, 1, root_.data() + static_cast<std::size_t>(s) * kSectorSize) ==
         1;
}

void CardFileSystem::ShowChainCorrupted() {
  session_.ui().ShowBox(
      "Internal Flash File Structure Error!\nCluster chain corrupted!\nReformat flash considered!!!",
      "Sonvar Flash Error", BoxIcon::Stop, BoxButtons::Ok);
}

void CardFileSystem::ShowNoSpace() {
  session_.ShowBox(session_.Text(42), 22, BoxIcon::Warning, BoxButtons::Ok);
}

int CardFileSystem::NextCluster(std::uint32_t cluster, std::uint32_t& next, bool report) {
  const std::uint16_t value = GetFatEntry(cluster);
  if (device_->Aborted()) {
    Fail(CardError::Aborted);
    return -1;
  }
  // Other systems end chains with any of 0xFFF8-0xFFFF; all of them are an end here.
  if (IsEndOfChain(value)) return 0;
  if (!geometry_.IsDataCluster(value)) {
    if (report) ShowChainCorrupted();
    Fail(CardError::Corrupt);
    return -1;
  }
  next = value;
  return 1;
}

int CardFileSystem::FindInRoot(const std::string& name11, DirEntryRef& ref) {
  ref = DirEntryRef{};
  if (!EnsureRoot()) return Fail(mounted_ ? CardError::Aborted : CardError::NotMounted);
  const std::uint32_t n = RootEntryCount();
  for (std::uint32_t i = 0; i < n; ++i) {
    const DirEntry e = RootEntry(i);
    if (e.IsEnd()) break;
    if (NameMatches(e, name11)) {
      ref.entry = e;
      ref.cluster = 0;
      ref.index = static_cast<std::uint16_t>(i);
      return 1;
    }
  }
  return Fail(CardError::NotFound);
}

int CardFileSystem::FindInDirectory(std::uint32_t startCluster, const std::string& name11, DirEntryRef& ref) {
  ref = DirEntryRef{};
  if (!mounted_) return Fail(CardError::NotMounted);
  if (!geometry_.IsDataCluster(startCluster)) {
    ShowChainCorrupted();
    return Fail(CardError::Corrupt);
  }
  const std::uint32_t perCluster = geometry_.SecPerClust * 16;
  std::uint32_t c = startCluster;
  ChainGuard guard(geometry_.LastCluster);
  while (guard.Visit(c)) {
    if (!ReadCluster(c, cluster_.data())) return Fail(CardError::Aborted);
    for (std::uint32_t i = 0; i < perCluster; ++i) {
      const DirEntry e = DirEntry::Parse(cluster_.data() + static_cast<std::size_t>(i) * kDirEntrySize);
      if (e.IsEnd()) continue;
      if (NameMatches(e, name11)) {
        ref.entry = e;
        ref.cluster = static_cast<std::uint16_t>(c);
        ref.index = static_cast<std::uint16_t>(i);
        return 1;
      }
    }
    std::uint32_t next = 0;
    const int r = NextCluster(c, next, true);
    if (r < 0) return 0;
    if (r == 0) return Fail(CardError::NotFound);
    c = next;
  }
  ShowChainCorrupted();
  return Fail(CardError::Corrupt);
}

int CardFileSystem::FindDirectoryInRoot(const std::string& dir, DirEntryRef& ref) {
  const auto dir11 = DirectoryName11(dir);
  if (!dir11) return Fail(CardError::BadName);
  if (!FindInRoot(*dir11, ref)) return 0;
  // A file of that name is no directory: its clusters hold no entries.
  if (!ref.entry.IsDirectory()) return Fail(CardError::NotFound);
  return 1;
}

int CardFileSystem::FindEntry(const std::string& dir, const std::string& name11, DirEntryRef& ref) {
  const auto dir11 = DirectoryName11(dir);
  if (!dir11) {
    ref = DirEntryRef{};
    return Fail(CardError::BadName);
  }
  if (dir11->empty()) return FindInRoot(name11, ref);
  DirEntryRef dirRef;
  if (!FindDirectoryInRoot(*dir11, dirRef)) {
    ref = DirEntryRef{};
    return 0;
  }
  return FindInDirectory(dirRef.entry.firstCluster, name11, ref);
}

std::uint32_t CardFileSystem::FirstFreeRootSlot() {
  if (!EnsureRoot()) return 0xFFFFFFFF;
  const std::uint32_t n = RootEntryCount();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (RootEntry(i).IsFreeSlot()) return i;
  }
  return 0xFFFFFFFF;
}

int CardFileSystem::FindFreeSlot(const std::string& dir, DirEntryRef& ref) {
  const auto dir11 = DirectoryName11(dir);
  if (!dir11) return Fail(CardError::BadName);
  if (dir11->empty()) {
    const std::uint32_t i = FirstFreeRootSlot();
    if (i == 0xFFFFFFFF) return Fail(rootLoaded_ ? CardError::RootFull : CardError::Aborted);
    ref.cluster = 0;
    ref.index = static_cast<std::uint16_t>(i);
    return 1;
  }
  DirEntryRef dirRef;
  if (!FindDirectoryInRoot(*dir11, dirRef)) return 0;
  std::uint32_t c = dirRef.entry.firstCluster;
  if (!geometry_.IsDataCluster(c)) {
    ShowChainCorrupted();
    return Fail(CardError::Corrupt);
  }
  const std::uint32_t perCluster = geometry_.SecPerClust * 16;
  ChainGuard guard(geometry_.LastCluster);
  while (guard.Visit(c)) {
    if (!ReadCluster(c, cluster_.data())) return Fail(CardError::Aborted);
    for (std::uint32_t i = 0; i < perCluster; ++i) {
      if (DirEntry::Parse(cluster_.data() + static_cast<std::size_t>(i) * kDirEntrySize).IsFreeSlot()) {
        ref.cluster = static_cast<std::uint16_t>(c);
        ref.index = static_cast<std::uint16_t>(i);
        return 1;
      }
    }
    std::uint32_t next = 0;
    const int r = NextCluster(c, next, true);
    if (r < 0) return 0;
    if (r == 0) {
      // The directory is full: it grows by one zeroed cluster after its last one. The cluster is
      // cleared on the card before the chain leads to it.
      const std::uint32_t n = FindFreeCluster();
      if (n == 0) {
        if (!device_->Aborted()) ShowNoSpace();
        return Fail(CardError::NoSpace);
      }
      std::fill(cluster_.begin(), cluster_.end(), 0);
      if (!WriteCluster(n, cluster_.data())) return Fail(CardError::Aborted);
      SetFatEntry(c, static_cast<std::uint16_t>(n));
      SetFatEntry(n, kFatEndOfChain);
      ref.cluster = static_cast<std::uint16_t>(n);
      ref.index = 0;
      return 1;
    }
    c = next;
  }
  ShowChainCorrupted();
  return Fail(CardError::Corrupt);
}

int CardFileSystem::CreateDirectory(const std::string& name11) {
  if (name11.size() != kName11Length) return Fail(CardError::BadName);
  DirEntryRef existing;
  if (FindInRoot(name11, existing)) {
    if (existing.entry.IsDirectory()) return 1;
    return Fail(CardError::NotAFile);
  }
  if (device_->Aborted() || !mounted_) return Fail(CardError::Aborted);
  const std::uint32_t i = FirstFreeRootSlot();
  if ((i & 0xFFFF) == 0xFFFF) {
    if (!device_->Aborted()) ShowNoSpace();
    return Fail(CardError::RootFull);
  }
  const std::uint32_t n = FindFreeCluster();
  if (n == 0) {
    if (!device_->Aborted()) ShowNoSpace();
    return Fail(CardError::NoSpace);
  }
  std::fill(cluster_.begin(), cluster_.end(), 0);
  DirEntry dot;
  dot.SetName11(".");
  dot.attributes = kAttrDirectory;
  dot.firstCluster = static_cast<std::uint16_t>(n);
  StampDirEntry(dot);
  dot.Serialize(cluster_.data());
  DirEntry dotdot;
  dotdot.SetName11("..");
  dotdot.attributes = kAttrDirectory;
  dotdot.firstCluster = 0;
  StampDirEntry(dotdot);
  dotdot.Serialize(cluster_.data() + kDirEntrySize);
  if (!WriteCluster(n, cluster_.data())) return Fail(CardError::Aborted);
  SetFatEntry(n, kFatEndOfChain);
  // The FAT goes to the card before the root names the directory, so that an interruption leaves
  // at most a lost cluster, never a directory in a cluster the FAT calls free.
  if (!FlushFat()) {
    SetFatEntry(n, kFatFree);
    return 0;
  }
  DirEntry entry;
  entry.SetName11(name11);
  entry.attributes = kAttrDirectory;
  entry.firstCluster = static_cast<std::uint16_t>(n);
  entry.size = 0;
  StampDirEntry(entry);
  PutRootEntry(i, entry);
  if (!WriteRootSectorOf(i)) return Fail(CardError::Aborted);
  return 1;
}

int CardFileSystem::WriteEntryAt(const DirEntryRef& ref, const DirEntry& entry) {
  if (!mounted_) return Fail(CardError::NotMounted);
  if (ref.cluster == 0) {
    if (!EnsureRoot() || ref.index >= RootEntryCount()) return Fail(CardError::Corrupt);
    PutRootEntry(ref.index, entry);
    if (!WriteRootSectorOf(ref.index)) return Fail(CardError::Aborted);
    return 1;
  }
  if (!geometry_.IsDataCluster(ref.cluster) || ref.index >= geometry_.SecPerClust * 16) {
    return Fail(CardError::Corrupt);
  }
  // Only the sector that holds the entry changes; the rest of the cluster is not sent again.
  const std::uint32_t lba = geometry_.ClusterLba(ref.cluster) + ref.index / 16;
  std::uint8_t sector[kSectorSize];
  if (!ReadSectors(lba, 1, sector)) return Fail(CardError::Aborted);
  entry.Serialize(sector + static_cast<std::size_t>(ref.index % 16) * kDirEntrySize);
  if (!WriteSectors(lba, 1, sector)) return Fail(CardError::Aborted);
  return 1;
}

int CardFileSystem::WriteDirEntry(DirEntryRef& ref) {
  ref.entry.attributes = kAttrFile;
  StampDirEntry(ref.entry);
  return WriteEntryAt(ref, ref.entry);
}

int CardFileSystem::OpenDirectoryListing(const std::string& dir, DirEntry& out) {
  listingOpen_ = false;
  const auto dir11 = DirectoryName11(dir);
  if (!dir11) return Fail(CardError::BadName);
  if (dir11->empty()) {
    TraceLine("Root dir not supported\n");
    return Fail(CardError::NotFound);
  }
  DirEntryRef dirRef;
  if (!FindInRoot(*dir11, dirRef)) return 0;
  if (!geometry_.IsDataCluster(dirRef.entry.firstCluster)) return Fail(CardError::Corrupt);
  if (!ReadCluster(dirRef.entry.firstCluster, listingBuffer_.data())) return Fail(CardError::Aborted);
  listingCluster_ = dirRef.entry.firstCluster;
  listingIndex_ = 0;
  listingSeen_.assign(static_cast<std::size_t>(geometry_.LastCluster) + 1, false);
  listingSeen_[listingCluster_] = true;
  listingOpen_ = true;
  out = DirEntry::Parse(listingBuffer_.data());
  return 1;
}

int CardFileSystem::NextDirectoryEntry(DirEntry& out) {
  if (!listingOpen_) return 0;
  if (++listingIndex_ >= geometry_.SecPerClust * 16) {
    std::uint32_t next = 0;
    // The listing ends at the chain's end, and where the chain would lead back into itself.
    if (NextCluster(listingCluster_, next, false) != 1 || listingSeen_[next] ||
        !ReadCluster(next, listingBuffer_.data())) {
      listingOpen_ = false;
      return 0;
    }
    listingSeen_[next] = true;
    listingCluster_ = next;
    listingIndex_ = 0;
  }
  out = DirEntry::Parse(listingBuffer_.data() + static_cast<std::size_t>(listingIndex_) * kDirEntrySize);
  if (out.IsEnd()) {
    listingOpen_ = false;
    return 0;
  }
  return 1;
}

int CardFileSystem::ListDirectory(const std::string& dir, std::vector<DirEntryRef>& out) {
  out.clear();
  const auto dir11 = DirectoryName11(dir);
  if (!dir11) return Fail(CardError::BadName);
  if (dir11->empty()) {
    if (!EnsureRoot()) return Fail(mounted_ ? CardError::Aborted : CardError::NotMounted);
    const std::uint32_t n = RootEntryCount();
    for (std::uint32_t i = 0; i < n; ++i) {
      const DirEntry e = RootEntry(i);
      if (e.IsEnd()) break;
      if (e.IsDeleted()) continue;
      out.push_back({e, 0, static_cast<std::uint16_t>(i)});
    }
    return 1;
  }
  DirEntryRef dirRef;
  if (!FindDirectoryInRoot(*dir11, dirRef)) return 0;
  std::uint32_t c = dirRef.entry.firstCluster;
  if (!geometry_.IsDataCluster(c)) {
    ShowChainCorrupted();
    return Fail(CardError::Corrupt);
  }
  const std::uint32_t perCluster = geometry_.SecPerClust * 16;
  std::vector<std::uint8_t> buffer(geometry_.ClusterBytes);
  ChainGuard guard(geometry_.LastCluster);
  while (guard.Visit(c)) {
    if (!ReadCluster(c, buffer.data())) return Fail(CardError::Aborted);
    for (std::uint32_t i = 0; i < perCluster; ++i) {
      const DirEntry e = DirEntry::Parse(buffer.data() + static_cast<std::size_t>(i) * kDirEntrySize);
      if (e.IsEnd()) return 1;
      if (e.IsDeleted()) continue;
      out.push_back({e, static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(i)});
    }
    std::uint32_t next = 0;
    const int r = NextCluster(c, next, true);
    if (r < 0) return 0;
    if (r == 0) return 1;
    c = next;
  }
  ShowChainCorrupted();
  return Fail(CardError::Corrupt);
}

}  // namespace sondesk
