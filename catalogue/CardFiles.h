#pragma once
// The card's files as the catalogue sees them: whole files by 8.3 name ("INDEX0.DAT", "00031.MF3")
// in the card's root folder and in its 31 song folders, whichever way the card is reached. Through
// a card reader they are plain files under the mounted card; through the player they live in the
// FAT16 that the program keeps itself over the link.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Session.h"

namespace sondesk {

// Folder numbers: the root, or a song folder 0 to 30.
inline constexpr int kRootFolder = -1;
inline constexpr int kSongFolderCount = 31;

// A song's file and folder on the card: song 1234 is 01234.MF3 in folder 25.
std::string SongFileName(unsigned songNumber);  // "%05d.MF3"
inline int SongFolderOf(unsigned songNumber) {
  return static_cast<int>(songNumber % kSongFolderCount);
}

// One entry of a folder listing, in directory order.
struct CardFolderItem {
  std::string name;  // 8.3 form, "00031.MF3"
  std::uint32_t size = 0;
  bool isFolder = false;
  bool deleted = false;  // a directory slot whose first name byte is 0xE5
};

class CardFiles {
 public:
  virtual ~CardFiles() = default;

  virtual LinkMode mode() const = 0;

  // The brackets that claim the player around an operation on its card; nothing through a reader.
  virtual void RequestAccess() {}
  virtual void RequestConnect() {}
  virtual void ReleaseAccess() {}

  // The whole file; false when it is absent or cannot be read. `out` may keep its room: a buffer
  // passed again is reused.
  virtual bool ReadFile(int folder, const std::string& name, std::vector<std::uint8_t>& out) = 0;
  // At most `count` bytes from the start of the file.
  virtual bool ReadFileStart(int folder, const std::string& name, std::size_t count,
                             std::vector<std::uint8_t>& out);
  // Creates the file or replaces one of that name.
  virtual bool WriteFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) = 0;
  // As WriteFile, but an interruption at any point leaves either the old file or the new one whole.
  virtual bool ReplaceFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) = 0;
  // Replaces files of the root as one set: after an interruption at any point, or a failure, they
  // are all old or all new (as far as the medium allows; the default replaces them one by one).
  using NamedFile = std::pair<std::string, std::vector<std::uint8_t>>;
  virtual bool ReplaceRootFilesTogether(const std::vector<NamedFile>& files) {
    for (const auto& [name, data] : files) {
      if (!ReplaceFile(kRootFolder, name, data)) return false;
    }
    return true;
  }
  // A set of root files replaced together, handed over one at a time as they are made: each is
  // written as it comes (under a temporary name where the medium allows) and Commit puts the whole
  // set in place, as ReplaceRootFilesTogether does. A set dropped without Commit, or one that
  // failed, leaves the old files as they were. Add may be called on another thread than the one
  // that began the set, one call at a time, before Commit.
  class RootFileSet {
   public:
    virtual ~RootFileSet() = default;
    virtual bool Add(const std::string& name, const std::vector<std::uint8_t>& data) = 0;
    virtual bool Commit() = 0;
  };
  // Null where the files cannot be written one at a time as they come (through the player the
  // set goes in one piece): ReplaceRootFilesTogether then takes them all at once.
  virtual std::unique_ptr<RootFileSet> BeginRootFileSet() { return nullptr; }
  virtual bool DeleteFile(int folder, const std::string& name) = 0;
  virtual bool FileExists(int folder, const std::string& name) = 0;
  // Size in bytes; -1 when the file is absent.
  virtual long long FileSize(int folder, const std::string& name) = 0;
  virtual bool FolderExists(int folder) = 0;
  // True when the folder exists afterwards (an existing folder is no error).
  virtual bool CreateFolder(int folder) = 0;
  // The entries of a folder in directory order; false when the folder cannot be read.
  virtual bool ListFolder(int folder, std::vector<CardFolderItem>& out) = 0;
  // The same where only names and kinds are wanted: the sizes may be left 0, which spares a
  // look at every file where the listing does not carry them.
  virtual bool ListFolderNames(int folder, std::vector<CardFolderItem>& out) { return ListFolder(folder, out); }
  // Marks in `present` (one bit per song number, 64 to a word, kSongNumberLimit bits) every song
  // file that stands in the folder of its number, as the player finds it. False when a song folder
  // cannot be read (the others are still looked at). The default walks the folder listings; a
  // reader looks at the names alone, since the card's catalogue check does this at every load.
  virtual bool FindSongFiles(std::vector<std::uint64_t>& present);
  // Pending allocation changes go to the card.
  virtual void Commit() {}
  // Gives the card a fresh, empty file system; 1 done, 0 not possible this way (a reader's card is
  // emptied file by file instead).
  virtual int FormatCard() { return 0; }

  // Free bytes, and the unit to which each file's size is rounded up for the space check.
  virtual bool FreeSpace(std::uint64_t& freeBytes, std::uint32_t& roundingUnit) = 0;

  // Progress items that writing one file of `bytes` takes, beside a fixed count per file; over the
  // link these are its sectors in whole clusters. Zero where the file layer reports no progress.
  virtual std::uint32_t ProgressUnitsForSize(std::uint32_t bytes) {
    (void)bytes;
    return 0;
  }
  virtual std::uint32_t ProgressUnitsPerFile() { return 0; }
  // Whether reads and writes move the progress bar themselves (the link does, per sector).
  virtual bool StepsProgress() const { return false; }

  // How a file is named to the user: its path under the card drive, or its name on the card.
  virtual std::string DisplayName(int folder, const std::string& name) const = 0;
};

// Claims the player for the life of the object: access and connect at the start, release at the end.
class CardAccess {
 public:
  explicit CardAccess(CardFiles& files, bool connect = true) : files_(files) {
    files_.RequestAccess();
    if (connect) files_.RequestConnect();
  }
  ~CardAccess() { files_.ReleaseAccess(); }
  CardAccess(const CardAccess&) = delete;
  CardAccess& operator=(const CardAccess&) = delete;

 private:
  CardFiles& files_;
};

}  // namespace sondesk
