#include "catalogue/ReaderCardFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/AtomicFile.h"
#include "app/Paths.h"

namespace sondesk {

std::string ReaderCardFiles::FolderPath(int folder) const {
  return folder == kRootFolder ? drive_ : JoinPath(drive_, std::to_string(folder));
}

std::string ReaderCardFiles::PathOf(int folder, const std::string& name) const {
  return JoinPath(FolderPath(folder), name);
}

bool ReaderCardFiles::ReadFile(int folder, const std::string& name, std::vector<std::uint8_t>& out) {
  out.clear();
  const std::string path = PathOf(folder, name);
  if (!IsFile(path)) return false;
  return ReadWholeFile(path, out);
}

bool ReaderCardFiles::ReadFileStart(int folder, const std::string& name, std::size_t count,
                                    std::vector<std::uint8_t>& out) {
  out.clear();
  const int fd = ::open(PathOf(folder, name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  out.resize(count);
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::read(fd, out.data() + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  out.resize(got);
  return true;
}

bool ReaderCardFiles::WriteFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) {
  const std::string path = PathOf(folder, name);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::uint8_t* p = data.data();
  std::size_t left = data.size();
  bool ok = true;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  // A card that filled up mid-file keeps no cut copy under the song's name.
  if (!ok) ::unlink(path.c_str());
  return ok;
}

bool ReaderCardFiles::ReplaceFile(int folder, const std::string& name,
                                  const std::vector<std::uint8_t>& data) {
  return WriteFileAtomically(PathOf(folder, name), data);
}

bool ReaderCardFiles::ReplaceRootFilesTogether(const std::vector<NamedFile>& files) {
  // Every file whole under a temporary name first; the renames come only when all are complete,
  // so a full card or a pulled card leaves the old set, and a cut among the renames at most one
  // rename short of the new one.
  std::vector<std::string> temps;
  auto cleanUp = [&] {
    for (const std::string& t : temps) ::unlink(t.c_str());
    return false;
  };
  for (const auto& [name, data] : files) {
    // A target a file cannot replace (a folder of that name) is found before anything is renamed.
    const std::string target = PathOf(kRootFolder, name);
    if (IsFolder(target)) return cleanUp();
    const std::string temp = TemporarySibling(target);
    temps.push_back(temp);
    if (!WriteFileAtomically(temp, data)) return cleanUp();
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (std::rename(temps[i].c_str(), PathOf(kRootFolder, files[i].first).c_str()) != 0) return cleanUp();
  }
  return true;
}

bool ReaderCardFiles::DeleteFile(int folder, const std::string& name) {
  return ::unlink(PathOf(folder, name).c_str()) == 0;
}

bool ReaderCardFiles::FileExists(int folder, const std::string& name) {
  return IsFile(PathOf(folder, name));
}

long long ReaderCardFiles::FileSize(int folder, const std::string& name) {
  struct stat st {};
  if (::stat(PathOf(folder, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

bool ReaderCardFiles::FolderExists(int folder) {
  return IsFolder(FolderPath(folder));
}

bool ReaderCardFiles::CreateFolder(int folder) {
  const std::string path = FolderPath(folder);
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  return IsFolder(path);
}

bool ReaderCardFiles::ListFolder(int folder, std::vector<CardFolderItem>& out) {
  out.clear();
  const std::string dirPath = FolderPath(folder);
  DIR* dir = ::opendir(dirPath.c_str());
  if (dir == nullptr) return false;
  while (const dirent* d = ::readdir(dir)) {
    const std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::stat(JoinPath(dirPath, name).c_str(), &st) != 0) continue;
    CardFolderItem item;
    item.name = name;
    item.isFolder = S_ISDIR(st.st_mode);
    item.size = item.isFolder ? 0 : static_cast<std::uint32_t>(st.st_size);
    item.deleted = !name.empty() && static_cast<unsigned char>(name[0]) == 0xE5;
    out.push_back(std::move(item));
  }
  ::closedir(dir);
  return true;
}

void ReaderCardFiles::Commit() {
  // One sync of the card's file system after a batch of songs, so that the catalogue written next
  // never names a song whose data is still only in the PC's cache.
  const int fd = ::open(drive_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::syncfs(fd);
  ::close(fd);
}

std::uint32_t ReaderCardFiles::RoundingUnitForTotal(std::uint64_t total) {
  constexpr std::uint64_t MiB = 1048576;
  if (total > 256 * MiB) return 16384;
  if (total > 128 * MiB) return 8192;
  if (total > 64 * MiB) return 4096;
  if (total > 32 * MiB) return 2048;
  if (total > 16 * MiB) return 1024;
  return 512;
}

bool ReaderCardFiles::FreeSpace(std::uint64_t& freeBytes, std::uint32_t& roundingUnit) {
  struct statvfs st {};
  if (::statvfs(drive_.c_str(), &st) != 0) return false;
  freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  roundingUnit = RoundingUnitForTotal(static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize);
  return true;
}

}  // namespace sondesk
