#include "app/FileBatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "app/AtomicFile.h"

namespace sondesk {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FileBatch::~FileBatch() {
  JoinBackground(nullptr);
  for (File& f : files_) {
    if (f.fd >= 0) ::close(f.fd);
    std::remove(f.temp.c_str());
  }
}

bool FileBatch::Add(const std::string& path, std::span<const std::uint8_t> data) {
  File f{path, TemporarySibling(path)};
  f.fd = ::open(f.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (f.fd < 0) return false;
  if (!WriteFully(f.fd, data.data(), data.size())) {
    ::close(f.fd);
    std::remove(f.temp.c_str());
    return false;
  }
#ifdef SYNC_FILE_RANGE_WRITE
  // The disk starts on it now, while the next songs are converted.
  ::sync_file_range(f.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  bytes_ += data.size();
  files_.push_back(std::move(f));
  return true;
}

bool FileBatch::Pending(const std::string& path) const {
  return std::any_of(files_.begin(), files_.end(), [&](const File& f) { return f.target == path; }) ||
         std::find(committingTargets_.begin(), committingTargets_.end(), path) != committingTargets_.end();
}

bool FileBatch::JoinBackground(std::vector<std::string>* failed) {
  if (!committer_.joinable()) return true;
  committer_.join();
  if (failed) failed->insert(failed->end(), committingFailed_.begin(), committingFailed_.end());
  const bool ok = committingOk_;
  committing_.clear();
  committingTargets_.clear();
  committingFailed_.clear();
  committingOk_ = true;
  return ok;
}

void FileBatch::CommitInBackground(std::vector<std::string>* failed) {
  JoinBackground(failed);
  if (files_.empty()) return;
  committing_ = std::move(files_);
  files_.clear();
  bytes_ = 0;
  for (const File& f : committing_) committingTargets_.push_back(f.target);
  committer_ = std::thread([this] { committingOk_ = CommitFiles(committing_, committingFailed_); });
}

bool FileBatch::Commit(std::vector<std::string>* failed) {
  bool ok = JoinBackground(failed);
  std::vector<std::string> mine;
  ok = CommitFiles(files_, mine) && ok;
  if (failed) failed->insert(failed->end(), mine.begin(), mine.end());
  files_.clear();
  bytes_ = 0;
  return ok;
}

bool FileBatch::CommitFiles(std::vector<File>& files, std::vector<std::string>& failed) {
  bool ok = true;
  std::vector<std::string> folders;
  // The write-back of every file was started when it was added: the waits below overlap, and the
  // file system's journal takes most of them in one commit.
  for (File& f : files) {
    bool good = ::fdatasync(f.fd) == 0;
    good = ::close(f.fd) == 0 && good;
    f.fd = -1;
    if (good) good = std::rename(f.temp.c_str(), f.target.c_str()) == 0;
    if (!good) {
      std::remove(f.temp.c_str());
      failed.push_back(f.target);
      ok = false;
      continue;
    }
    const std::string folder = FolderOf(f.target);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  }
  // The renames themselves are made durable by syncing each folder once.
  for (const std::string& folder : folders) {
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) continue;
    ::fsync(dfd);
    ::close(dfd);
  }
  files.clear();
  return ok;
}

}  // namespace sondesk
