#include "library/LibraryStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/Session.h"
#include "library/SongNames.h"
#include "midi/Mf3Header.h"

namespace sondesk {

namespace {

struct FoundFile {
  std::string key;  // the name in upper case: the order a Windows folder listing gives
  std::string name;
};

// Lists the song files of the folder open at `folderFd` (which stays open).
std::vector<FoundFile> ScanSongFiles(int folderFd) {
  std::vector<FoundFile> files;
  const int listFd = ::dup(folderFd);
  if (listFd < 0) return files;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return files;
  }
  const int dirFd = ::dirfd(dir);
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (!EndsWithIgnoringCase(name, ".MF3")) continue;
    bool regular = e->d_type == DT_REG;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      regular = ::fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    if (!regular) continue;
    files.push_back({UpperAscii(std::string(name)), std::string(name)});
  }
  ::closedir(dir);
  std::sort(files.begin(), files.end(), [](const FoundFile& a, const FoundFile& b) {
    return a.key != b.key ? a.key < b.key : a.name < b.name;
  });
  return files;
}

std::string HeaderText(const std::uint8_t* header, std::size_t offset) {
  const char* p = reinterpret_cast<const char*>(header + offset);
  std::size_t n = 0;
  while (n < Mf3Header::kTextField && p[n] != '\0') ++n;
  return SongEntry::CutText(std::string_view(p, n));
}

// Opens, reads the first 512 bytes and takes the length: the whole cost of a song in the list.
// The file is opened relative to its folder, so a long library path is not walked 16,384 times.
bool ReadEntryHeader(int folderFd, const std::string& name, SongEntry& entry) {
  const int fd = folderFd >= 0 ? ::openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC)
                               : ::open(entry.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::uint8_t header[Mf3Header::kSize] = {};
  std::size_t got = 0;
  while (got < sizeof header) {
    const ssize_t n = ::read(fd, header + got, sizeof header - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  // The listing let only regular files through, whose end is their length: a seek costs less
  // than a status, and this is paid once a song.
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end >= 0) entry.fileSize = static_cast<std::uint32_t>(end);
  ::close(fd);
  // A file that is not an MF3 song is listed, but not with texts read from whatever it holds.
  if (got == sizeof header && std::equal(Mf3Header::kMagic.begin(), Mf3Header::kMagic.end(), header)) {
    entry.title = HeaderText(header, Mf3Header::kOffTitle);
    entry.performer = HeaderText(header, Mf3Header::kOffPerformer);
    entry.category = HeaderText(header, Mf3Header::kOffGenre);
  }
  return true;
}

}  // namespace

// Below this many songs one thread reads them sooner than helpers are started.
constexpr std::size_t kParallelReadThreshold = 64;

LibraryReadResult ReadLibrary(Session& session) {
  LibraryReadResult result;
  session.BusyCursorOn();
  SongList& list = session.library;
  list.clear();
  const std::string& folder = session.libraryDir();
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::vector<FoundFile> files;
  if (folderFd >= 0) files = ScanSongFiles(folderFd);
  result.songFiles = files.size();
  if (files.size() > SongList::kCapacity) files.resize(SongList::kCapacity);
  list.entries().reserve(files.size());
  for (const FoundFile& f : files) {
    SongEntry entry;
    entry.path = JoinPath(folder, f.name);
    entry.scanNumber = static_cast<std::uint16_t>(list.size());
    list.push_back(std::move(entry));
  }

  const std::size_t count = list.size();
  const bool withProgress = count > kLibraryProgressThreshold;
  Progress& progress = session.progress();
  if (withProgress) {
    progress.ProgressStartTimed(static_cast<std::uint32_t>(count));
    progress.ProgressSetLine1(session.Text(126));
  }
  // The headers are read on every core: a folder of many songs is opens and small reads, and the
  // waits of one core overlap the work of the other. The entries are taken in order here, where
  // the boxes and the progress stay, as if this thread had read each one itself.
  std::vector<std::atomic<std::uint8_t>> state(count);  // 0 not yet read, 1 read, 2 unreadable
  std::atomic<std::size_t> next{0};
  auto readOne = [&](std::size_t j) {
    const bool ok = ReadEntryHeader(folderFd, files[j].name, list[j]);
    state[j].store(ok ? 1 : 2, std::memory_order_release);
  };
  auto readAll = [&] {
    for (std::size_t j; (j = next.fetch_add(1, std::memory_order_relaxed)) < count;) readOne(j);
  };
  std::vector<std::thread> helpers;
  if (count > kParallelReadThreshold) {
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 4u));
    for (unsigned k = 1; k < cores; ++k) helpers.emplace_back(readAll);
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t st;
    while ((st = state[i].load(std::memory_order_acquire)) == 0) {
      const std::size_t j = next.fetch_add(1, std::memory_order_relaxed);
      if (j < count) {
        readOne(j);
      } else {
        std::this_thread::yield();
      }
    }
    if (st == 2) session.ShowOpenError(list[i].path);
    if (withProgress) {
      progress.ProgressSetLine2(
          FormatText(session.Text(116), static_cast<int>(i + 1), static_cast<int>(count)));
      progress.ProgressStepTimed(1);
    }
  }
  for (std::thread& t : helpers) t.join();
  if (withProgress) progress.ProgressEnd();
  if (folderFd >= 0) ::close(folderFd);
  list.Renumber();
  result.listed = count;
  session.BusyCursorOff();

  if (result.songFiles > count) {
    // The message table has no text for this; the limit is the list's and the player's own.
    session.ShowBox(Format("The library folder %s holds %zu songs.\nOnly the first %zu are listed.",
                           folder.c_str(), result.songFiles, count),
                    22, BoxIcon::Warning, BoxButtons::Ok);
  }
  return result;
}

bool DeleteLibrarySongs(Session& session, const std::vector<std::size_t>& entries) {
  session.BusyCursorOn();
  std::vector<std::size_t> chosen;
  for (const std::size_t i : entries) {
    if (i < session.library.size()) chosen.push_back(i);
  }
  if (chosen.empty()) {
    session.BusyCursorOff();
    return false;
  }
  const std::string question = FormatText(session.Text(117), static_cast<int>(chosen.size()));
  if (session.ShowBox(question, 131, BoxIcon::Warning, BoxButtons::YesNo) != BoxAnswer::Yes) {
    session.BusyCursorOff();
    return false;
  }
  for (const std::size_t i : chosen) {
    const std::string& path = session.library[i].path;
    if (std::remove(path.c_str()) != 0) {
      session.ShowBox(FormatText(session.Text(13), path.c_str()), 21, BoxIcon::Stop, BoxButtons::Ok);
    }
  }
  session.BusyCursorOff();
  return true;
}

long FindLibraryEntry(const Session& session, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto normal = [&ec](const std::string& p) { return fs::absolute(p, ec).lexically_normal(); };
  const fs::path wanted =
      normal(path.find('/') == std::string::npos ? JoinPath(session.libraryDir(), path) : path);
  for (std::size_t i = 0; i < session.library.size(); ++i) {
    if (normal(session.library[i].path) == wanted) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace sondesk
