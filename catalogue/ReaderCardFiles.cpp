#include "catalogue/ReaderCardFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "catalogue/CatalogueCheck.h"

namespace sondesk {

std::string ReaderCardFiles::FolderPath(int folder) const {
  return folder == kRootFolder ? drive_ : JoinPath(drive_, std::to_string(folder));
}

std::string ReaderCardFiles::PathOf(int folder, const std::string& name) const {
  return JoinPath(FolderPath(folder), name);
}

namespace {
constexpr const char* kIndexName = "INDEX0.DAT";
}  // namespace

ReaderCardFiles::~ReaderCardFiles() {
  if (rootFd_ >= 0) ::close(rootFd_);
}

void ReaderCardFiles::RequestAccess() {
  // Claims nest; the folder opened by the outermost is kept. A root that cannot be opened leaves
  // every call to find its files by path, as without a claim.
  if (accessDepth_++ == 0 && rootFd_ < 0) rootFd_ = ::open(drive_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void ReaderCardFiles::ReleaseAccess() {
  if (accessDepth_ > 0 && --accessDepth_ == 0 && rootFd_ >= 0) {
    ::close(rootFd_);
    rootFd_ = -1;
  }
}

int ReaderCardFiles::OpenForReading(int folder, const std::string& name, struct stat& st) const {
  if (folder == kRootFolder && rootFd_ >= 0 && name.find('/') == std::string::npos) {
    return OpenRegularFileForReadingAt(rootFd_, name.c_str(), st);
  }
  return OpenRegularFileForReading(PathOf(folder, name), st);
}

std::string ReaderCardFiles::IndexStamp() const {
  struct stat st {};
  if (::stat(PathOf(kRootFolder, kIndexName).c_str(), &st) != 0) return "none";
  // A rebuild renames a new file into place: a new inode, whatever its size and time.
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

void ReaderCardFiles::NoteIndex(int folder, const std::string& name) {
  if (folder != kRootFolder || name != kIndexName) return;
  // Noted before a read: a change during the read then shows as a change afterwards.
  indexStamp_ = IndexStamp();
  indexNoted_ = true;
}

bool ReaderCardFiles::IndexChangedByOthers() const { return indexNoted_ && IndexStamp() != indexStamp_; }

namespace {
// Reads at most `count` bytes into `out`, whose room is reused: a buffer that is read again at
// every load is neither allocated nor zero-filled again, only its new bytes are.
bool ReadInto(int fd, std::size_t expected, std::size_t count, std::vector<std::uint8_t>& out) {
  std::size_t have = 0;
  std::size_t room = std::min(expected + 1, count);
  if (out.size() < room) out.resize(room);
  bool ok = true;
  while (have < count) {
    if (have == out.size()) out.resize(std::min(count, std::max<std::size_t>(2 * out.size(), 65536)));
    // A buffer larger than `count` from an earlier read is filled no further than `count`.
    const ssize_t n = ::read(fd, out.data() + have, std::min(out.size(), count) - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    have += static_cast<std::size_t>(n);
    // The size the file had when it was opened is what is read: one read, not a second one that
    // finds the end.
    if (have == expected) break;
  }
  ::close(fd);
  out.resize(ok ? have : 0);
  return ok;
}
}  // namespace

bool ReaderCardFiles::ReadFile(int folder, const std::string& name, std::vector<std::uint8_t>& out) {
  NoteIndex(folder, name);
  struct stat st {};
  const int fd = OpenForReading(folder, name, st);
  if (fd < 0 || static_cast<std::uint64_t>(st.st_size) > kReadCap) {
    if (fd >= 0) ::close(fd);
    out.clear();
    return false;
  }
  if (!ReadInto(fd, static_cast<std::size_t>(st.st_size), kReadCap + 1, out) || out.size() > kReadCap) {
    out.clear();
    return false;
  }
  return true;
}

bool ReaderCardFiles::ReadFileStart(int folder, const std::string& name, std::size_t count,
                                    std::vector<std::uint8_t>& out) {
  NoteIndex(folder, name);
  struct stat st {};
  const int fd = OpenForReading(folder, name, st);
  if (fd < 0) {
    out.clear();
    return false;
  }
  return ReadInto(fd, static_cast<std::size_t>(st.st_size), count, out);
}

bool ReaderCardFiles::WriteFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) {
  const std::string path = PathOf(folder, name);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteFully(fd, data.data(), data.size());
  ok = ::close(fd) == 0 && ok;
  // A card that filled up mid-file keeps no cut copy under the song's name.
  if (!ok) ::unlink(path.c_str());
  NoteIndex(folder, name);
  return ok;
}

bool ReaderCardFiles::ReplaceFile(int folder, const std::string& name,
                                  const std::vector<std::uint8_t>& data) {
  const bool ok = WriteFileAtomically(PathOf(folder, name), data);
  NoteIndex(folder, name);
  return ok;
}

namespace {
constexpr std::size_t kEarlyWriteBytes = 64 * 1024;
}  // namespace

// A set cut short by a pulled card or a killed program leaves its temporaries in the root; before
// the first set a session writes, those of a program that no longer runs are removed. A temporary
// of a program still running (another SonDesk writing, or by chance a process of that number here
// when the card comes from another computer) is left alone.
void ReaderCardFiles::RemoveStaleTemporaries(int dir) {
  const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    ::close(fd);
    return;
  }
  const long self = ::getpid();
  while (const dirent* d = ::readdir(listing)) {
    const long owner = TemporaryOwner(d->d_name);
    if (owner <= 0 || owner == self) continue;
    if (::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(dir, d->d_name, 0);
  }
  ::closedir(listing);
}

// Every file whole under a temporary name first, all of them on the card before the first
// rename: a full card or a pulled card leaves the old set, and a cut among the renames at most one
// rename short of the new one. The temporaries are synced together and the root once after the
// renames, rather than one wait per file; all of it relative to the root, which is walked to once
// (or is already held open).
class ReaderCardFiles::ReaderRootFiles : public CardFiles::RootFileSet {
 public:
  explicit ReaderRootFiles(ReaderCardFiles& files)
      : files_(files),
        held_(files.rootFd_ >= 0),
        dir_(held_ ? files.rootFd_ : ::open(files.drive_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    // Once a card per session: a set is written often, and junk of another run only by a cut.
    if (dir_ >= 0 && !files.temporariesSwept_) {
      RemoveStaleTemporaries(dir_);
      files.temporariesSwept_ = true;
    }
  }
  ~ReaderRootFiles() override {
    // Not committed: the temporaries go and the old files stay.
    for (const Temporary& t : temps_) {
      if (t.fd >= 0) ::close(t.fd);
      if (dir_ >= 0) ::unlinkat(dir_, t.name.c_str(), 0);
    }
    if (dir_ >= 0 && !held_) ::close(dir_);
  }

  bool Add(const std::string& name, const std::vector<std::uint8_t>& data) override {
    if (dir_ < 0 || failed_) return Fail();
    // A target a file cannot replace (a folder of that name) is found before anything is renamed.
    struct stat st {};
    if (::fstatat(dir_, name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode)) return Fail();
    Temporary& t = temps_.emplace_back();
    t.target = name;
    t.name = TemporarySibling(name);
    t.fd = ::openat(dir_, t.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (t.fd < 0 || !WriteFully(t.fd, data.data(), data.size())) return Fail();
#ifdef SYNC_FILE_RANGE_WRITE
    // The card starts on a large file while the next is written; the sync at the commit then
    // mostly waits on writes already under way. A file of a few sectors goes with that sync at no
    // extra call.
    if (data.size() >= kEarlyWriteBytes) ::sync_file_range(t.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    return true;
  }

  bool Commit() override {
    if (dir_ < 0 || failed_) return false;
    // One wait for the whole set: a sync of the card's file system takes every temporary to the
    // card at once, where a sync per file would flush the card's FAT and its cache once a file.
    // Where that sync is refused, each file is synced on its own.
    const bool setSynced = ::syncfs(dir_) == 0;
    for (Temporary& t : temps_) {
      const bool ok = setSynced || ::fsync(t.fd) == 0;
      const bool closed = ::close(t.fd) == 0;
      t.fd = -1;
      if (!ok || !closed) return false;
    }
    for (std::size_t i = 0; i < temps_.size(); ++i) {
      if (::renameat(dir_, temps_[i].name.c_str(), dir_, temps_[i].target.c_str()) != 0) {
        // Those renamed are in place; the others' temporaries go.
        temps_.erase(temps_.begin(), temps_.begin() + static_cast<std::ptrdiff_t>(i));
        return false;
      }
    }
    // The renames themselves reach the card.
    ::fsync(dir_);
    for (const Temporary& t : temps_) files_.NoteIndex(kRootFolder, t.target);
    temps_.clear();
    return true;
  }

 private:
  struct Temporary {
    std::string target, name;
    int fd = -1;
  };
  bool Fail() {
    failed_ = true;
    return false;
  }

  ReaderCardFiles& files_;
  const bool held_;
  const int dir_;
  std::vector<Temporary> temps_;
  bool failed_ = false;
};

std::unique_ptr<CardFiles::RootFileSet> ReaderCardFiles::BeginRootFileSet() {
  return std::make_unique<ReaderRootFiles>(*this);
}

bool ReaderCardFiles::ReplaceRootFilesTogether(const std::vector<NamedFile>& files) {
  ReaderRootFiles set(*this);
  for (const auto& [name, data] : files) {
    if (!set.Add(name, data)) return false;
  }
  return set.Commit();
}

bool ReaderCardFiles::DeleteFile(int folder, const std::string& name) {
  const bool ok = ::unlink(PathOf(folder, name).c_str()) == 0;
  NoteIndex(folder, name);
  return ok;
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
  return List(folder, out, true);
}

bool ReaderCardFiles::ListFolderNames(int folder, std::vector<CardFolderItem>& out) {
  return List(folder, out, false);
}

bool ReaderCardFiles::List(int folder, std::vector<CardFolderItem>& out, bool withSizes) {
  out.clear();
  DIR* dir = ::opendir(FolderPath(folder).c_str());
  if (dir == nullptr) return false;
  const int dirFd = ::dirfd(dir);
  while (const dirent* d = ::readdir(dir)) {
    const char* name = d->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    // The listing's own type spares a look at each file, which a song folder of thousands of
    // songs would pay on every check; only a size, or a file system that gives no type, needs one.
    bool isFolder = d->d_type == DT_DIR;
    std::uint32_t size = 0;
    if (d->d_type == DT_UNKNOWN || d->d_type == DT_LNK || (withSizes && d->d_type == DT_REG)) {
      struct stat st {};
      if (::fstatat(dirFd, name, &st, 0) != 0) continue;
      isFolder = S_ISDIR(st.st_mode);
      size = isFolder ? 0 : static_cast<std::uint32_t>(st.st_size);
    }
    CardFolderItem item;
    item.name = name;
    item.isFolder = isFolder;
    item.size = size;
    item.deleted = static_cast<unsigned char>(name[0]) == 0xE5;
    out.push_back(std::move(item));
  }
  ::closedir(dir);
  return true;
}

bool ReaderCardFiles::FindSongFiles(std::vector<std::uint64_t>& present) {
  present.assign((kSongNumberLimit + 63) / 64, 0);
  // The folders' raw listings, each opened from the root: no entry is made for a name, and only a
  // name of a song file's form, whose kind the listing does not tell, is looked at.
  const int root = ::open(drive_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) return false;
  bool readable = true;
  alignas(dirent64) char buffer[32768];
  for (int folder = 0; folder < kSongFolderCount; ++folder) {
    char folderName[4];
    std::snprintf(folderName, sizeof folderName, "%d", folder);
    const int fd = ::openat(root, folderName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      readable = false;
      continue;
    }
    for (;;) {
      const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) readable = false;
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* d = reinterpret_cast<const dirent64*>(buffer + at);
        at += d->d_reclen;
        if (d->d_type == DT_DIR || ::strnlen(d->d_name, 10) != 9) continue;
        const int number = RecoverableSongNumber(d->d_name, folder);
        if (number < 0) continue;
        if (d->d_type != DT_REG) {
          struct stat st {};
          if (::fstatat(fd, d->d_name, &st, 0) != 0 || S_ISDIR(st.st_mode)) continue;
        }
        present[static_cast<std::size_t>(number) / 64] |= std::uint64_t{1} << (number % 64);
      }
    }
    ::close(fd);
  }
  ::close(root);
  return readable;
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
