#pragma once
// Whole files written as a group, each atomic and durable, with one wait for the disk for the lot
// instead of one a file: each file goes at once under a temporary name beside its target; Commit
// starts the write-back of all of them, waits for each, renames them onto their targets in the
// order they were added and syncs each folder once. Until Commit a file exists only under its
// temporary name, so a crash or a cut leaves every target old or new, never cut. What is not
// committed when the batch ends is removed.
//
// CommitInBackground does the same on a thread of its own, so that the caller goes on adding files
// while the disk catches up: one such commit runs at a time, in the order they were started, and
// its files count as pending until it is over.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace sondesk {

class FileBatch {
 public:
  FileBatch() = default;
  FileBatch(const FileBatch&) = delete;
  FileBatch& operator=(const FileBatch&) = delete;
  ~FileBatch();

  // Writes `data` under a temporary name for `path`. False when it cannot (nothing is left).
  bool Add(const std::string& path, std::span<const std::uint8_t> data);
  // A file added for `path` and not yet committed.
  bool Pending(const std::string& path) const;
  std::size_t size() const { return files_.size(); }
  std::size_t bytes() const { return bytes_; }

  // Makes every added file durable and puts it in place (after a background commit still running).
  // The targets that could not be are given in `failed` (their temporary files are removed); the
  // others are in place either way.
  bool Commit(std::vector<std::string>* failed = nullptr);
  // Starts the commit of every added file and returns at once; the batch is empty again. Waits for
  // the background commit before it, whose failed targets are given in `failed`.
  void CommitInBackground(std::vector<std::string>* failed = nullptr);

 private:
  struct File {
    std::string target, temp;
    int fd = -1;
  };
  static bool CommitFiles(std::vector<File>& files, std::vector<std::string>& failed);
  // Waits for the background commit; its failed targets are appended to `failed`.
  bool JoinBackground(std::vector<std::string>* failed);

  std::vector<File> files_;
  std::size_t bytes_ = 0;
  // The commit running on its own thread: its files (touched only by that thread until it is
  // joined), their targets for Pending, and its outcome.
  std::vector<File> committing_;
  std::vector<std::string> committingTargets_;
  std::vector<std::string> committingFailed_;
  bool committingOk_ = true;
  std::thread committer_;
};

}  // namespace sondesk
