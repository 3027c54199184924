#include "catalogue/FatCardFiles.h"

#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueCheck.h"

namespace sondesk {

namespace {
std::string DirOf(int folder) {
  return folder == kRootFolder ? std::string() : std::to_string(folder);
}
}  // namespace

void FatCardFiles::RequestAccess() {
  if (depth_++ == 0) {
    connected_ = false;
    fs_.device().RequestAccess();
  }
}

void FatCardFiles::RequestConnect() {
  if (connected_) return;
  connected_ = true;
  fs_.device().RequestConnect();
}

void FatCardFiles::ReleaseAccess() {
  if (depth_ > 0 && --depth_ == 0) {
    connected_ = false;
    fs_.device().ReleaseAccess();
  }
}

bool FatCardFiles::ReadFile(int folder, const std::string& name, std::vector<std::uint8_t>& out) {
  out.clear();
  const auto name11 = MakeName11(name);
  return name11 && fs_.ReadCardFileData(DirOf(folder), *name11, out) == 1;
}

bool FatCardFiles::ReadFileStart(int folder, const std::string& name, std::size_t count,
                                 std::vector<std::uint8_t>& out) {
  out.clear();
  const auto name11 = MakeName11(name);
  return name11 && fs_.ReadCardFileStart(DirOf(folder), *name11, count, out) == 1;
}

bool FatCardFiles::WriteFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) {
  const auto name11 = MakeName11(name);
  return name11 && fs_.WriteCardFileData(DirOf(folder), *name11, data) == 1;
}

bool FatCardFiles::ReplaceFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) {
  const auto name11 = MakeName11(name);
  return name11 && fs_.ReplaceCardFileData(DirOf(folder), *name11, data) == 1;
}

bool FatCardFiles::ReplaceRootFilesTogether(const std::vector<NamedFile>& files) {
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> named;
  for (const auto& [name, data] : files) {
    const auto name11 = MakeName11(name);
    if (!name11) return false;
    named.emplace_back(*name11, data);
  }
  return fs_.ReplaceRootFilesTogether(named) == 1;
}

bool FatCardFiles::DeleteFile(int folder, const std::string& name) {
  const auto name11 = MakeName11(name);
  return name11 && fs_.DeleteCardFile(DirOf(folder), *name11) == 1;
}

bool FatCardFiles::Locate(int folder, const std::string& name, DirEntryRef& ref) {
  const auto name11 = MakeName11(name);
  return name11 && fs_.FindEntry(DirOf(folder), *name11, ref) == 1;
}

bool FatCardFiles::FileExists(int folder, const std::string& name) {
  DirEntryRef ref;
  return Locate(folder, name, ref) && !ref.entry.IsDirectory() && !ref.entry.IsVolumeLabel();
}

long long FatCardFiles::FileSize(int folder, const std::string& name) {
  DirEntryRef ref;
  if (!Locate(folder, name, ref) || ref.entry.IsDirectory()) return -1;
  return ref.entry.size;
}

bool FatCardFiles::FolderExists(int folder) {
  DirEntryRef ref;
  return fs_.FindInRoot(SongFolderName11(folder), ref) == 1 && ref.entry.IsDirectory();
}

bool FatCardFiles::CreateFolder(int folder) {
  return fs_.CreateDirectory(SongFolderName11(folder)) == 1;
}

bool FatCardFiles::ListFolder(int folder, std::vector<CardFolderItem>& out) {
  out.clear();
  std::vector<DirEntryRef> refs;
  if (fs_.ListDirectory(DirOf(folder), refs) != 1) return false;
  for (const DirEntryRef& ref : refs) {
    const DirEntry& e = ref.entry;
    if (e.IsDotEntry() || e.IsLongNamePart() || e.IsVolumeLabel()) continue;
    CardFolderItem item;
    item.name = Name11ToDisplay(e.Name11());
    item.isFolder = e.IsDirectory();
    item.deleted = e.IsDeleted();
    item.size = item.isFolder ? 0 : e.size;
    out.push_back(std::move(item));
  }
  return true;
}

void FatCardFiles::Commit() {
  fs_.FlushFat();
}

int FatCardFiles::FormatCard() {
  const int result = fs_.FormatCard();
  // The format claims and releases the player itself; a bracket still open around it claims the
  // player again for the rest of its work.
  if (depth_ > 0) {
    fs_.device().RequestAccess();
    if (connected_) fs_.device().RequestConnect();
  }
  return result;
}

bool FatCardFiles::FreeSpace(std::uint64_t& freeBytes, std::uint32_t& roundingUnit) {
  if (!fs_.mounted()) return false;
  freeBytes = static_cast<std::uint64_t>(fs_.FreeClusters()) * fs_.geometry().SecPerClust * 512;
  // Every file takes whole clusters: a song counted in 512-byte units on a card of 16 KB clusters
  // passed the check and then did not fit.
  roundingUnit = fs_.geometry().ClusterBytes;
  return true;
}

std::string FatCardFiles::DisplayName(int folder, const std::string& name) const {
  return folder == kRootFolder ? name : std::to_string(folder) + "/" + name;
}

void InstallCatalogueCreator(CardFileSystem& fs) {
  fs.SetCatalogueCreator([](CardFileSystem& formatted) {
    FatCardFiles files(formatted);
    Catalogue catalogue(formatted.session(), files);
    CreateEmptyCatalogue(catalogue);
  });
}

}  // namespace sondesk
