#pragma once
// The card through the program's own FAT16 over its sectors: through the player on the cable, or
// a card image read directly. Folders and files are addressed by their 11-byte directory names
// ("5          ", "00036   MF3"), made here from the 8.3 names the catalogue uses.

#include "cardfs/CardFileSystem.h"
#include "catalogue/CardFiles.h"

namespace sondesk {

class FatCardFiles : public CardFiles {
 public:
  explicit FatCardFiles(CardFileSystem& fs) : fs_(fs) {}

  LinkMode mode() const override { return LinkMode::Player; }
  CardFileSystem& fs() { return fs_; }

  // Brackets nest: only the outermost claims and releases the player, so an operation that calls
  // another never finds the player released under it.
  void RequestAccess() override;
  void RequestConnect() override;
  void ReleaseAccess() override;

  bool ReadFile(int folder, const std::string& name, std::vector<std::uint8_t>& out) override;
  bool ReadFileStart(int folder, const std::string& name, std::size_t count,
                     std::vector<std::uint8_t>& out) override;
  bool WriteFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) override;
  bool ReplaceRootFilesTogether(const std::vector<NamedFile>& files) override;
  bool ReplaceFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) override;
  bool DeleteFile(int folder, const std::string& name) override;
  bool FileExists(int folder, const std::string& name) override;
  long long FileSize(int folder, const std::string& name) override;
  bool FolderExists(int folder) override;
  bool CreateFolder(int folder) override;
  bool ListFolder(int folder, std::vector<CardFolderItem>& out) override;
  void Commit() override;
  int FormatCard() override;
  bool FreeSpace(std::uint64_t& freeBytes, std::uint32_t& roundingUnit) override;
  std::uint32_t ProgressUnitsForSize(std::uint32_t bytes) override { return fs_.SectorsForSize(bytes); }
  std::uint32_t ProgressUnitsPerFile() override { return fs_.TransferUnitsPerFile(); }
  bool StepsProgress() const override { return true; }
  std::string DisplayName(int folder, const std::string& name) const override;

 private:
  bool Locate(int folder, const std::string& name, DirEntryRef& ref);
  CardFileSystem& fs_;
  int depth_ = 0;
  bool connected_ = false;
};

// Makes the format of `fs` end with the empty catalogue: the index, letter, options and playlist
// files and the 31 song folders.
void InstallCatalogueCreator(CardFileSystem& fs);

}  // namespace sondesk
