#include "cardfs/CardFileSystem.h"

#include <cstdio>
#include <cstring>

#include "app/Paths.h"
#include "app/AtomicFile.h"
#include "app/ShippedData.h"

namespace sondesk {

const char* CardErrorText(CardError error) {
  switch (error) {
    case CardError::None:
      return "no error";
    case CardError::Aborted:
      return "the card could not be reached (transfer cancelled)";
    case CardError::NotMounted:
      return "no usable FAT16 file system on the card";
    case CardError::NotFound:
      return "no such file or folder on the card";
    case CardError::BadName:
      return "not an 8.3 name";
    case CardError::NoSpace:
      return "no free space left on the card";
    case CardError::RootFull:
      return "the card's root folder is full";
    case CardError::NotAFile:
      return "the name is a folder";
    case CardError::Corrupt:
      return "a cluster chain on the card is corrupted";
    case CardError::PcFileError:
      return "the PC file could not be read or created";
    case CardError::FormatRefused:
      return "the card's geometry gives no FAT16 partition";
    case CardError::BadGeometry:
      return "the card's boot sector describes a layout that does not add up";
  }
  return "unknown error";
}

CardFileSystem::CardFileSystem(Session& session, SectorDevice& device) : session_(session), device_(&device) {
  localTime = [] {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
  };
}

std::string CardFileSystem::lastErrorText() const {
  std::string text = CardErrorText(error_);
  const std::string why = device_->lastError();
  if ((error_ == CardError::Aborted || error_ == CardError::NotMounted) && !why.empty()) text += ": " + why;
  if (error_ == CardError::BadGeometry && !mountProblem_.empty())
    text += " (" + mountProblem_ + "); format the card to use it, which erases every song on it";
  return text;
}

int CardFileSystem::Fail(CardError error) {
  // A cancelled link is the reason for whatever failed after it.
  error_ = device_->Aborted() ? CardError::Aborted : error;
  return 0;
}

void CardFileSystem::TraceLine(const std::string& text) {
  device_->TraceLine(text);
}

// --- Sectors and clusters ---------------------------------------------------------------------

int CardFileSystem::ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) {
  if (device_->Aborted()) return 0;
  if (device_->TraceEnabled()) {
    TraceLine(Format("Reading sector: %ld (%ld sectors) [%s]", static_cast<long>(lba),
                     static_cast<long>(count), SectorRegionName(lba)));
  }
  return device_->ReadSectors(lba, count, buffer);
}

int CardFileSystem::WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) {
  if (device_->Aborted()) return 0;
  if (device_->TraceEnabled()) {
    TraceLine(Format("Writing sector: %ld (%ld sectors) [%s]", static_cast<long>(lba),
                     static_cast<long>(count), SectorRegionName(lba)));
  }
  return device_->WriteSectors(lba, count, buffer);
}

int CardFileSystem::ReadCluster(std::uint32_t cluster, std::uint8_t* buffer) {
  if (!mounted_ || !geometry_.IsDataCluster(cluster)) return 0;
  return ReadSectors(geometry_.ClusterLba(cluster), geometry_.SecPerClust, buffer);
}

int CardFileSystem::WriteCluster(std::uint32_t cluster, const std::uint8_t* buffer) {
  return WriteClusters(cluster, 1, buffer);
}

int CardFileSystem::WriteClusters(std::uint32_t cluster, std::uint32_t count, const std::uint8_t* buffer) {
  if (!mounted_ || count == 0 || !geometry_.IsDataCluster(cluster) || !geometry_.IsDataCluster(cluster + count - 1))
    return 0;
  return WriteSectors(geometry_.ClusterLba(cluster), count * geometry_.SecPerClust, buffer);
}

// --- Mount ------------------------------------------------------------------------------------

void CardFileSystem::ResetMountState() {
  mounted_ = false;
  rootLoaded_ = false;
  listingOpen_ = false;
  freeHint_ = 2;
  freeCount_ = -1;
}

int CardFileSystem::AskFormat(const char* question) {
  // While a format mounts its own fresh card, a second offer would only repeat the same failure.
  if (formatting_) return Fail(CardError::NotMounted);
  if (session_.ui().AskErase(question, "", BoxIcon::Question, BoxButtons::OkCancel) != BoxAnswer::Ok) {
    return Fail(CardError::NotMounted);
  }
  std::unique_ptr<WriteLock> lock;
  std::string refused;
  if (formatGuard && !formatGuard(lock, refused)) {
    session_.ShowBox(refused, 21, BoxIcon::Stop, BoxButtons::Ok);
    return Fail(CardError::NotMounted);
  }
  if (FormatCard() == 1) return 1;
  session_.ui().ShowBox("Errore nella formattazione della Compact Flash", "Format Error", BoxIcon::Stop,
                        BoxButtons::Ok);
  return Fail(error_ == CardError::None ? CardError::NotMounted : error_);
}

int CardFileSystem::MountCard() {
  Progress& progress = session_.progress();
  error_ = CardError::None;
  mountProblem_.clear();
  ResetMountState();
  device_->ResetLinkState();
  TraceLine("Connecting to SON-Flash");
  if (device_->RequestConnect() != 1) return Fail(CardError::Aborted);

  CardIdentity id;
  if (!ReadSectors(kIdentityLba, 1, id.bytes.data())) return Fail(CardError::Aborted);
  id.SwapTextFields();
  identity_ = id;

  progress.ProgressStartTimed(72);
  progress.ProgressSetLine1("Lettura MBR");
  std::uint16_t pbrLba = 0;
  SectorImage sector{};
  auto failRead = [&] {
    progress.ProgressEnd();
    return Fail(CardError::Aborted);
  };
  if (!ReadSectors(0, 1, sector.data())) return failRead();
  mbr_ = sector;
  pbr_ = sector;
  bool found = IsUsableBootSector(sector);
  if (!found) {
    const std::uint16_t spt = identity_.DefaultSectorsPerTrack();
    if (!ReadSectors(spt, 1, sector.data())) return failRead();
    pbr_ = sector;
    pbrLba = spt;
    found = IsUsableBootSector(sector);
  }
  if (!found) {
    progress.ProgressSetLine1("Ricerca PBR");
    for (std::uint16_t lba = 0; lba <= 255 && !found; ++lba) {
      if (!ReadSectors(lba, 1, sector.data())) return failRead();
      pbr_ = sector;
      pbrLba = lba;
      if (IsUsableBootSector(sector)) {
        found = true;
      } else if (IsFat12BootSector(sector)) {
        progress.ProgressEnd();
        return AskFormat("Fat 12 trovata\nFormattare la Flash prima dell'uso!\n\nFormattare Flash ora?");
      }
    }
    if (!found) {
      progress.ProgressEnd();
      return AskFormat("Flash non formattata\nFormattare la Flash prima dell'uso!\n\nFormattare Flash ora?");
    }
  }

  CardGeometry g;
  std::string why;
  if (!DeriveCardGeometry(BootSector::Parse(pbr_), pbrLba, g, why)) {
    TraceLine(why);
    progress.ProgressEnd();
    if (BootSector::Parse(pbr_).bytesPerSec != 512) return Fail(CardError::NotMounted);
    while (!why.empty() && why.back() == '\n') why.pop_back();
    mountProblem_ = why;
    return Fail(CardError::BadGeometry);
  }
  TraceLine(Format("Clusters: %u", g.ClusterCount));
  TraceLine(Format("ClusterSize: %u", g.ClusterBytes));
  TraceLine(Format("  Tracks: %u", g.Cylinders));
  TraceLine(Format("   Heads: %u", g.Heads));
  TraceLine(Format(" Sec/Trk: %u", g.SecPerTrack));
  TraceLine(Format("Tot Secs: %u", g.TotalSectors));
  AdoptGeometry(g);

  progress.ProgressSetLine1(session_.Text(130));
  TraceLine(Format("idxOff=%u sects=%u media=%xh fat=%d ", g.PbrLba, g.TotalSectors,
                   static_cast<unsigned>(pbr_[BootSector::kMedia]), static_cast<int>(g.FATs)));
  TraceLine(Format("root=%d data=%d Type=1%c ", static_cast<int>(g.RootLba), static_cast<int>(g.DataLba),
                   static_cast<char>(pbr_[BootSector::kFileSysType + 4])));
  return 1;
}

void CardFileSystem::AdoptGeometry(const CardGeometry& g) {
  geometry_ = g;
  root_.assign(static_cast<std::size_t>(g.RootSectors) * kSectorSize, 0);
  fat_.assign(static_cast<std::size_t>(g.FATsecs) * kSectorSize, 0);
  fatState_.assign(g.FATsecs, 0);
  cluster_.assign(g.ClusterBytes, 0);
  listingBuffer_.assign(g.ClusterBytes, 0);
  mounted_ = true;
}

int CardFileSystem::ConnectCard() {
  Progress& progress = session_.progress();
  device_->ResetLinkState();
  if (!MountCard()) {
    progress.ProgressEnd();
    return 0;
  }
  const CardGeometry& g = geometry_;
  progress.ProgressReset(g.RootSectors + g.ClusterCount / 256);
  if (!ReadSectors(g.RootLba, g.RootSectors, root_.data())) {
    progress.ProgressEnd();
    return Fail(CardError::Aborted);
  }
  rootLoaded_ = true;
  ShowCardFreeSpace();
  progress.ProgressEnd();
  device_->ReleaseAccess();
  return 1;
}

int CardFileSystem::LoadBootTemplate() {
  std::string path = FindProgramFile(session_, kBootTemplateName);
  if (path.empty()) path = JoinPath(session_.programDir(), kBootTemplateName);
  std::FILE* f = OpenRegularFile(path);
  std::uint8_t both[2 * kSectorSize];
  const bool ok = f != nullptr && std::fread(both, 1, sizeof both, f) == sizeof both;
  if (f) std::fclose(f);
  if (!ok) {
    // A template shorter than its two sectors would leave half a boot sector to write.
    session_.ShowOpenError(path);
    return Fail(CardError::PcFileError);
  }
  SectorImage mbr{};
  SectorImage pbr{};
  std::memcpy(mbr.data(), both, kSectorSize);
  std::memcpy(pbr.data(), both + kSectorSize, kSectorSize);
  // The format keeps the template's type field, and the mount looks at sector 0 before the
  // partition: a template whose first sector reads as a boot sector, or whose second does not,
  // would give a card that mounts from its MBR or not at all. Nothing is written with it.
  const char* unusable = nullptr;
  if (IsUsableBootSector(mbr) || IsFat12BootSector(mbr)) {
    unusable = "its first sector (the MBR) reads as a boot sector";
  } else if (!IsUsableBootSector(pbr)) {
    unusable = "its second sector (the boot sector) has no FAT16 type";
  }
  if (unusable != nullptr) {
    TraceLine(path + " is not a card boot template: " + unusable);
    session_.ShowOpenError(path);
    return Fail(CardError::PcFileError);
  }
  mbr_ = mbr;
  pbr_ = pbr;
  return 1;
}

int CardFileSystem::ReadAgain() {
  if (!mounted_) return Fail(CardError::NotMounted);
  SectorImage boot{};
  if (!ReadSectors(geometry_.PbrLba, 1, boot.data())) return Fail(CardError::Aborted);
  if (boot != pbr_) return MountCard() == 1 && EnsureRoot() ? 2 : 0;
  std::vector<std::uint8_t> now(root_.size());
  if (!ReadSectors(geometry_.RootLba, geometry_.RootSectors, now.data())) return Fail(CardError::Aborted);
  if (rootLoaded_ && now == root_) return 1;
  root_ = std::move(now);
  rootLoaded_ = true;
  // FAT sectors with changes not yet written stay: they are this connection's own work.
  for (std::uint8_t& state : fatState_) {
    if (state == 1) state = 0;
  }
  freeHint_ = 2;
  freeCount_ = -1;
  listingOpen_ = false;
  return 2;
}

bool CardFileSystem::EnsureRoot() {
  if (!mounted_) return false;
  if (rootLoaded_) return true;
  if (!ReadSectors(geometry_.RootLba, geometry_.RootSectors, root_.data())) return false;
  rootLoaded_ = true;
  return true;
}

}  // namespace sondesk
