// Whole files on the card: read into memory or a PC file, written from either, deleted.
//
// The order of the writes is what keeps the card sound when the cable is pulled in the middle:
// data clusters first, then the FAT (both copies), then the directory entry. Cut off before the
// FAT, nothing on the card refers to the new clusters; cut off before the entry, they are lost
// clusters at worst. A file entry never points at clusters the FAT calls free.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/AtomicFile.h"
#include "cardfs/CardFileSystem.h"
#include "cardfs/ChainGuard.h"

namespace sondesk {

std::uint32_t CardFileSystem::ChainLength(std::uint32_t first) {
  std::uint32_t length = 0;
  std::uint32_t c = first;
  ChainGuard guard(geometry_.LastCluster);
  while (geometry_.IsDataCluster(c) && guard.Visit(c)) {
    ++length;
    std::uint32_t next = 0;
    if (NextCluster(c, next, false) != 1) break;
    c = next;
  }
  return length;
}

void CardFileSystem::FreeChain(std::uint32_t first) {
  // Only clusters of the data area are freed, and the walk stops at anything that is not a link
  // to one (an end mark of any kind, a free entry, a value out of range) or at a loop: entries 0
  // and 1 of the FAT are never touched.
  // Works from the FAT image alone once the chain's sectors are loaded, so that a chain taken by
  // a write the link cut off can still be given back in memory.
  std::uint32_t c = first;
  ChainGuard guard(geometry_.LastCluster);
  while (geometry_.IsDataCluster(c) && guard.Visit(c)) {
    if (!LoadFatSector(c / 256)) return;
    const std::uint16_t next = GetFatEntry(c);
    SetFatEntry(c, kFatFree);
    c = next;
  }
}

int CardFileSystem::WriteChain(std::span<const std::uint8_t> data, std::uint32_t& first) {
  first = 0;
  if (data.empty()) return 1;  // an empty file owns no cluster
  const std::size_t clusterBytes = geometry_.ClusterBytes;
  const std::size_t count = (data.size() + clusterBytes - 1) / clusterBytes;
  std::vector<std::uint32_t> chain;
  chain.reserve(count);
  auto release = [&](CardError why) {
    for (std::uint32_t c : chain) SetFatEntry(c, kFatFree);
    first = 0;
    return Fail(why);
  };
  // The whole chain is taken in the FAT image first (each cluster before the search for the next,
  // so that the search passes it by); nothing reaches the card until it is known to fit.
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t c = FindFreeCluster();
    if (c == 0) {
      if (!device_->Aborted()) ShowNoSpace();
      return release(CardError::NoSpace);
    }
    SetFatEntry(c, kFatEndOfChain);
    if (!chain.empty()) SetFatEntry(chain.back(), static_cast<std::uint16_t>(c));
    chain.push_back(c);
  }
  first = chain.front();
  // Clusters that follow one another on the card go out in one write: a card reader then costs one
  // system call per run instead of one per cluster. The run that ends the file, whose last cluster
  // has zeros beyond the file's end, is copied out first; the others go straight from `data`.
  for (std::size_t i = 0; i < count;) {
    std::size_t run = 1;
    while (i + run < count && chain[i + run] == chain[i] + run) ++run;
    const std::uint8_t* from = data.data() + i * clusterBytes;
    if (i + run == count && data.size() % clusterBytes != 0) {
      const std::size_t n = data.size() - i * clusterBytes;
      std::vector<std::uint8_t>& tail = run == 1 ? cluster_ : runBuffer_;
      tail.assign(run * clusterBytes, 0);
      std::memcpy(tail.data(), from, n);
      from = tail.data();
    }
    if (!WriteClusters(chain[i], static_cast<std::uint32_t>(run), from)) return release(CardError::Aborted);
    i += run;
  }
  return 1;
}

int CardFileSystem::MarkEntryDeleted(const DirEntryRef& ref) {
  std::uint32_t lba;
  if (ref.cluster == 0) {
    if (ref.index >= RootEntryCount()) return Fail(CardError::Corrupt);
    root_[static_cast<std::size_t>(ref.index) * kDirEntrySize] = kDeletedMark;
    lba = geometry_.RootLba;
  } else {
    if (!geometry_.IsDataCluster(ref.cluster)) return Fail(CardError::Corrupt);
    lba = geometry_.ClusterLba(ref.cluster);
  }
  lba += ref.index / 16;
  std::uint8_t sector[kSectorSize];
  if (!ReadSectors(lba, 1, sector)) return Fail(CardError::Aborted);
  sector[(ref.index % 16) * kDirEntrySize] = kDeletedMark;
  if (!WriteSectors(lba, 1, sector)) return Fail(CardError::Aborted);
  return 1;
}

int CardFileSystem::DeleteCardFile(const std::string& dir, const std::string& name11) {
  DirEntryRef ref;
  if (!FindEntry(dir, name11, ref)) return 0;
  if (ref.entry.IsDirectory() || ref.entry.IsVolumeLabel()) return Fail(CardError::NotAFile);
  // The entry goes first: cut off after it, the chain is merely lost.
  if (!MarkEntryDeleted(ref)) return 0;
  FreeChain(ref.entry.firstCluster);
  if (!FlushFat()) return 0;
  return 1;
}

int CardFileSystem::WriteCardFileData(const std::string& dir, const std::string& name11,
                                      std::span<const std::uint8_t> data) {
  error_ = CardError::None;
  if (!mounted_) return Fail(CardError::NotMounted);
  if (name11.size() != kName11Length || static_cast<unsigned char>(name11[0]) <= ' ' ||
      static_cast<unsigned char>(name11[0]) == kDeletedMark) {
    return Fail(CardError::BadName);
  }
  if (data.size() > 0xFFFFFFFFu) return Fail(CardError::NoSpace);
  const auto dir11 = DirectoryName11(dir);
  if (!dir11) return Fail(CardError::BadName);

  // Refused before anything is changed when the file cannot fit even in the room its old
  // version leaves, so that a failed replacement does not cost the old file.
  DirEntryRef old;
  const bool hadOld = FindEntry(dir, name11, old) == 1;
  if (!hadOld && error_ != CardError::NotFound) return 0;
  if (hadOld && (old.entry.IsDirectory() || old.entry.IsVolumeLabel())) return Fail(CardError::NotAFile);
  const std::uint64_t need = (data.size() + geometry_.ClusterBytes - 1) / geometry_.ClusterBytes;
  const std::uint64_t room =
      static_cast<std::uint64_t>(FreeClusters()) + (hadOld ? ChainLength(old.entry.firstCluster) : 0);
  if (device_->Aborted()) return Fail(CardError::Aborted);
  if (need > room) {
    ShowNoSpace();
    return Fail(CardError::NoSpace);
  }
  if (hadOld && !DeleteCardFile(dir, name11)) return 0;

  DirEntryRef ref;
  if (!FindFreeSlot(dir, ref)) {
    if (error_ == CardError::RootFull) ShowNoSpace();
    return 0;
  }
  ref.entry = DirEntry{};
  ref.entry.SetName11(name11);
  std::uint32_t first = 0;
  if (!WriteChain(data, first)) return 0;
  ref.entry.firstCluster = static_cast<std::uint16_t>(first);
  ref.entry.size = static_cast<std::uint32_t>(data.size());
  if (!FlushFat()) {
    // Nothing names the chain yet, so it may go back to the free clusters.
    FreeChain(first);
    return 0;
  }
  // From here on the chain stays taken even if the entry cannot be written: the entry may have
  // reached the card before the cable was pulled.
  if (!WriteDirEntry(ref)) return 0;
  return 1;
}

int CardFileSystem::ReplaceCardFileData(const std::string& dir, const std::string& name11,
                                        std::span<const std::uint8_t> data) {
  error_ = CardError::None;
  if (!mounted_) return Fail(CardError::NotMounted);
  DirEntryRef old;
  if (!FindEntry(dir, name11, old)) {
    if (error_ != CardError::NotFound) return 0;
    return WriteCardFileData(dir, name11, data);
  }
  if (old.entry.IsDirectory() || old.entry.IsVolumeLabel()) return Fail(CardError::NotAFile);
  const std::uint64_t need = (data.size() + geometry_.ClusterBytes - 1) / geometry_.ClusterBytes;
  if (need > FreeClusters()) {
    if (!device_->Aborted()) ShowNoSpace();
    return Fail(CardError::NoSpace);
  }
  std::uint32_t first = 0;
  if (!WriteChain(data, first)) return 0;
  if (!FlushFat()) {
    FreeChain(first);
    return 0;
  }
  // One sector write turns the old file into the new one.
  DirEntry entry = old.entry;
  entry.firstCluster = static_cast<std::uint16_t>(first);
  entry.size = static_cast<std::uint32_t>(data.size());
  entry.attributes = kAttrFile;
  StampDirEntry(entry);
  if (!WriteEntryAt(old, entry)) return 0;
  FreeChain(old.entry.firstCluster);
  if (!FlushFat()) return 0;
  return 1;
}

int CardFileSystem::ReplaceRootFilesTogether(
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& files) {
  error_ = CardError::None;
  if (!mounted_) return Fail(CardError::NotMounted);
  std::vector<DirEntryRef> olds(files.size());
  std::uint64_t need = 0;
  bool allThere = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!FindInRoot(files[i].first, olds[i])) {
      if (error_ != CardError::NotFound) return 0;
      allThere = false;
    } else if (olds[i].entry.IsDirectory() || olds[i].entry.IsVolumeLabel()) {
      return Fail(CardError::NotAFile);
    }
    need += (files[i].second.size() + geometry_.ClusterBytes - 1) / geometry_.ClusterBytes;
  }
  if (need > FreeClusters()) {
    if (!device_->Aborted()) ShowNoSpace();
    return Fail(CardError::NoSpace);
  }
  if (!allThere) {
    error_ = CardError::None;
    for (const auto& [name, data] : files) {
      if (!ReplaceCardFileData("", name, data)) return 0;
    }
    return 1;
  }
  std::vector<std::uint32_t> firsts;
  auto release = [&] {
    for (std::uint32_t f : firsts) FreeChain(f);
    return 0;
  };
  for (const auto& file : files) {
    std::uint32_t first = 0;
    if (!WriteChain(file.second, first)) return release();
    firsts.push_back(first);
  }
  if (!FlushFat()) return release();
  std::vector<std::uint32_t> sectors;
  for (std::size_t i = 0; i < files.size(); ++i) {
    DirEntry entry = olds[i].entry;
    entry.firstCluster = static_cast<std::uint16_t>(firsts[i]);
    entry.size = static_cast<std::uint32_t>(files[i].second.size());
    entry.attributes = kAttrFile;
    StampDirEntry(entry);
    PutRootEntry(olds[i].index, entry);
    const std::uint32_t sector = olds[i].index / 16;
    if (std::find(sectors.begin(), sectors.end(), sector) == sectors.end()) sectors.push_back(sector);
  }
  for (std::uint32_t sector : sectors) {
    if (!WriteRootSectorOf(sector * 16)) return Fail(CardError::Aborted);
  }
  for (const DirEntryRef& old : olds) FreeChain(old.entry.firstCluster);
  return FlushFat() ? 1 : 0;
}

int CardFileSystem::WriteCardFile(const std::string& dir, const std::string& name11,
                                  const std::string& pcPath) {
  std::vector<std::uint8_t> data;
  // The PC file is read before anything on the card changes: a file that cannot be opened must
  // not cost the card's file of that name.
  if (!ReadWholeFile(pcPath, data)) {
    session_.ShowOpenError(pcPath);
    return Fail(CardError::PcFileError);
  }
  return WriteCardFileData(dir, name11, data);
}

int CardFileSystem::ReadCardFileStart(const std::string& dir, const std::string& name11, std::size_t limit,
                                      std::vector<std::uint8_t>& out) {
  out.clear();
  error_ = CardError::None;
  if (!mounted_) return Fail(CardError::NotMounted);
  session_.progress().ProgressSetLine1(name11);
  DirEntryRef ref;
  if (!FindEntry(dir, name11, ref)) return 0;
  const std::size_t size = std::min<std::size_t>(ref.entry.size, limit);
  if (size == 0) return 1;
  std::uint32_t c = ref.entry.firstCluster;
  if (!geometry_.IsDataCluster(c)) {
    ShowChainCorrupted();
    return Fail(CardError::Corrupt);
  }
  out.reserve(size);
  ChainGuard guard(geometry_.LastCluster);
  while (guard.Visit(c)) {
    if (!ReadCluster(c, cluster_.data())) {
      out.clear();
      return Fail(CardError::Aborted);
    }
    const std::size_t n = std::min<std::size_t>(geometry_.ClusterBytes, size - out.size());
    out.insert(out.end(), cluster_.begin(), cluster_.begin() + static_cast<std::ptrdiff_t>(n));
    if (out.size() >= size) return 1;
    std::uint32_t next = 0;
    const int r = NextCluster(c, next, true);
    if (r != 1) {
      // A chain that ends before the file does would otherwise repeat its last cluster as the tail.
      if (r == 0) ShowChainCorrupted();
      out.clear();
      return Fail(CardError::Corrupt);
    }
    c = next;
  }
  ShowChainCorrupted();
  out.clear();
  return Fail(CardError::Corrupt);
}

int CardFileSystem::ReadCardFileData(const std::string& dir, const std::string& name11,
                                     std::vector<std::uint8_t>& out) {
  return ReadCardFileStart(dir, name11, static_cast<std::size_t>(-1), out);
}

int CardFileSystem::ReadCardFile(const std::string& dir, const std::string& name11,
                                 const std::string& pcPath) {
  std::vector<std::uint8_t> data;
  if (!ReadCardFileData(dir, name11, data)) return 0;
  // Written beside the target and renamed onto it, so that a failed copy leaves no half file.
  const std::string tmp = TemporarySibling(pcPath);
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  bool ok = f != nullptr;
  if (ok && !data.empty()) ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (f) ok = std::fclose(f) == 0 && ok;
  if (ok) ok = std::rename(tmp.c_str(), pcPath.c_str()) == 0;
  if (!ok) {
    std::remove(tmp.c_str());
    session_.ShowCreateError(pcPath);
    return Fail(CardError::PcFileError);
  }
  return 1;
}

}  // namespace sondesk
