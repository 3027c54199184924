#pragma once
// The card through a card reader: its files are plain files under the folder where it is mounted,
// the song folders are sub-folders "0" to "30".

#include <sys/stat.h>

#include <string>

#include "catalogue/CardFiles.h"

namespace sondesk {

class ReaderCardFiles : public CardFiles {
 public:
  explicit ReaderCardFiles(std::string cardDrive) : drive_(std::move(cardDrive)) {}
  ~ReaderCardFiles() override;
  ReaderCardFiles(const ReaderCardFiles&) = delete;
  ReaderCardFiles& operator=(const ReaderCardFiles&) = delete;

  LinkMode mode() const override { return LinkMode::CardReader; }
  // While access is claimed the card's root folder is held open: the root files of a catalogue
  // load or a playlist carry-over are reached from it, not by walking the drive's path each time.
  void RequestAccess() override;
  void ReleaseAccess() override;
  const std::string& drive() const { return drive_; }

  bool ReadFile(int folder, const std::string& name, std::vector<std::uint8_t>& out) override;
  bool ReadFileStart(int folder, const std::string& name, std::size_t count,
                     std::vector<std::uint8_t>& out) override;
  bool WriteFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) override;
  bool ReplaceRootFilesTogether(const std::vector<NamedFile>& files) override;
  std::unique_ptr<RootFileSet> BeginRootFileSet() override;
  bool ReplaceFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) override;
  bool DeleteFile(int folder, const std::string& name) override;
  bool FileExists(int folder, const std::string& name) override;
  long long FileSize(int folder, const std::string& name) override;
  bool FolderExists(int folder) override;
  bool CreateFolder(int folder) override;
  bool ListFolder(int folder, std::vector<CardFolderItem>& out) override;
  bool ListFolderNames(int folder, std::vector<CardFolderItem>& out) override;
  bool FindSongFiles(std::vector<std::uint64_t>& present) override;
  void Commit() override;
  bool FreeSpace(std::uint64_t& freeBytes, std::uint32_t& roundingUnit) override;
  std::string DisplayName(int folder, const std::string& name) const override { return PathOf(folder, name); }

  // Whether INDEX0.DAT is no longer the one this program last read or wrote: another program has
  // rebuilt the card's catalogue since (every rebuild replaces that file), and a list read before
  // must not be written back over its songs. False before the index was ever read or written.
  bool IndexChangedByOthers() const;

  std::string FolderPath(int folder) const;
  std::string PathOf(int folder, const std::string& name) const;

  // The rounding unit of the space check for a card of `totalBytes`: the cluster size that a
  // card of that size is usually formatted with.
  static std::uint32_t RoundingUnitForTotal(std::uint64_t totalBytes);

 private:
  class ReaderRootFiles;
  static void RemoveStaleTemporaries(int dir);
  bool List(int folder, std::vector<CardFolderItem>& out, bool withSizes);
  // Called before INDEX0.DAT is read and after this program replaced it.
  void NoteIndex(int folder, const std::string& name);
  std::string IndexStamp() const;

  // A root file open for reading through the held root folder when there is one; -1 otherwise.
  int OpenForReading(int folder, const std::string& name, struct stat& st) const;

  std::string drive_;
  int rootFd_ = -1;  // the root folder while access is claimed
  int accessDepth_ = 0;
  bool temporariesSwept_ = false;  // the root cleared of temporaries left by a cut, this session
  std::string indexStamp_;
  bool indexNoted_ = false;
};

}  // namespace sondesk
