#pragma once
// The card's FAT16 file system as the program keeps it itself, over numbered sectors.
//
// One CardFileSystem belongs to one connection (a Session and a SectorDevice): it holds the card's
// identification block, its MBR and boot sector images, the geometry derived at mount, the FAT
// image loaded lazily one sector at a time with a state per sector (0 not loaded, 1 loaded and
// unchanged, 2 changed), the root directory image and the cluster buffer. A mount replaces all of
// them.
//
// The file system is small: one root directory and one level of directories below it, files
// addressed by 11-byte directory names ("INDEX0  DAT", "00031   MF3"), whole files only. A
// directory argument is "" for the root or a directory of the root ("5", "5          "; only the
// part before a first backslash counts).
//
// For the catalogue the calls that matter are:
//   ConnectCard()                                  mount, read the root, show the free space
//   ReadCardFileData / WriteCardFileData / ReplaceCardFileData / DeleteCardFile    whole files
//   ReadCardFile / WriteCardFile                   the same to and from PC files
//   FindEntry, CreateDirectory, ListDirectory      lookups, song folders, listings (root included)
//   FreeClusters() * geometry().ClusterBytes       free bytes; SectorsForSize for progress totals
//   FlushFat()                                     commit pending FAT changes
//   SetCatalogueCreator(...)                       the empty catalogue written at the end of a format
// Results: 1 success, 0 failure (lastError() tells why), as everywhere in the card code.

#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "app/Session.h"
#include "app/WriteLock.h"
#include "cardfs/BootRecords.h"
#include "cardfs/CardGeometry.h"
#include "cardfs/CardIdentity.h"
#include "cardfs/DirEntry.h"
#include "cardfs/SectorDevice.h"

namespace sondesk {

// Why the last operation failed.
enum class CardError {
  None,
  Aborted,        // the link was cancelled (or the image could not be read or written)
  NotMounted,     // no usable FAT16 file system on the card
  NotFound,       // no such file or directory
  BadName,        // not an 8.3 name
  NoSpace,        // no free cluster left
  RootFull,       // no free slot in the root directory
  NotAFile,       // the name is a directory
  Corrupt,        // a cluster chain that ends early, loops or leaves the data area
  PcFileError,    // the PC file could not be read or created
  FormatRefused,  // the card's geometry gives no FAT16 partition
  BadGeometry,    // a FAT16 boot sector whose layout does not add up; only a format makes it usable
};
const char* CardErrorText(CardError error);

// The FAT entry values the card code gives meaning to.
inline constexpr std::uint16_t kFatFree = 0x0000;
inline constexpr std::uint16_t kFatEndOfChain = 0xFFFF;    // the only end mark written
inline constexpr std::uint16_t kFatFirstEndMark = 0xFFF8;  // 0xFFF8-0xFFFF all end a chain when read
inline bool IsEndOfChain(std::uint16_t value) {
  return value >= kFatFirstEndMark;
}

class CardFileSystem {
 public:
  CardFileSystem(Session& session, SectorDevice& device);
  CardFileSystem(const CardFileSystem&) = delete;
  CardFileSystem& operator=(const CardFileSystem&) = delete;

  Session& session() { return session_; }
  SectorDevice& device() { return *device_; }
  CardError lastError() const { return error_; }
  // The last error in words, with the device's own explanation when it has one.
  std::string lastErrorText() const;

  // --- Sectors and clusters -----------------------------------------------------------------
  int ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer);
  int WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer);
  // SecPerClust sectors at DataLba + (cluster - 2) * SecPerClust; 0 for a cluster outside the
  // data area, which is never read or written.
  int ReadCluster(std::uint32_t cluster, std::uint8_t* buffer);
  int WriteCluster(std::uint32_t cluster, const std::uint8_t* buffer);
  // `count` clusters that follow one another from `cluster`, in one transfer.
  int WriteClusters(std::uint32_t cluster, std::uint32_t count, const std::uint8_t* buffer);
  const char* SectorRegionName(std::uint32_t lba) const { return sondesk::SectorRegionName(geometry_, lba); }

  // --- Mount --------------------------------------------------------------------------------
  // Finds the boot sector (LBA 0, the LBA of the card's sectors per track, then LBA 0-255) and
  // derives the geometry; offers the format for a FAT12 card or none at all.
  int MountCard();
  // MountCard, then the root directory and the free space; releases the player.
  int ConnectCard();
  // MBRPBR.DAT of the program folder into the MBR and boot sector images.
  int LoadBootTemplate();

  bool mounted() const { return mounted_; }
  const CardGeometry& geometry() const { return geometry_; }
  const CardIdentity& identity() const { return identity_; }
  const SectorImage& mbrImage() const { return mbr_; }
  const SectorImage& pbrImage() const { return pbr_; }
  const std::vector<std::uint8_t>& rootImage() const { return root_; }
  bool rootLoaded() const { return rootLoaded_; }

  // --- FAT ----------------------------------------------------------------------------------
  // The entry of `cluster`; 0 for a cluster beyond the FAT's reach or when its sector cannot be read.
  std::uint16_t GetFatEntry(std::uint32_t cluster);
  // Ignored beyond the FAT's reach.
  void SetFatEntry(std::uint32_t cluster, std::uint16_t value);
  // The lowest free cluster from 2 to ClusterCount - 1, or 0 when there is none.
  std::uint32_t FindFreeCluster();
  // Writes every changed FAT sector to each FAT copy. 1 when all were written.
  int FlushFat();
  // 0 not loaded, 1 loaded and unchanged, 2 changed.
  std::uint8_t FatSectorState(std::uint32_t k) const { return k < fatState_.size() ? fatState_[k] : 0; }

  // --- Directories --------------------------------------------------------------------------
  int FindInRoot(const std::string& name11, DirEntryRef& ref);
  int FindInDirectory(std::uint32_t startCluster, const std::string& name11, DirEntryRef& ref);
  int FindEntry(const std::string& dir, const std::string& name11, DirEntryRef& ref);
  // Where a new entry of `dir` goes; a full directory grows by one zeroed cluster.
  int FindFreeSlot(const std::string& dir, DirEntryRef& ref);
  // The lowest free root index, or 0xFFFFFFFF when the root is full.
  std::uint32_t FirstFreeRootSlot();
  // A directory of the root; 1 when it exists afterwards.
  int CreateDirectory(const std::string& name11);
  // Writes the ref's entry back as a file entry, stamped with the local time.
  int WriteDirEntry(DirEntryRef& ref);
  void StampDirEntry(DirEntry& entry) const;

  // The listing of one directory of the root, one entry at a time ("" is not supported).
  int OpenDirectoryListing(const std::string& dir, DirEntry& out);
  int NextDirectoryEntry(DirEntry& out);
  // Every entry in use of `dir` ("" for the root), in directory order: deleted slots are left
  // out, "." and "..", volume labels and long-name parts kept for the caller to judge.
  int ListDirectory(const std::string& dir, std::vector<DirEntryRef>& out);

  // --- Files --------------------------------------------------------------------------------
  int ReadCardFile(const std::string& dir, const std::string& name11, const std::string& pcPath);
  int WriteCardFile(const std::string& dir, const std::string& name11, const std::string& pcPath);
  int DeleteCardFile(const std::string& dir, const std::string& name11);

  int ReadCardFileData(const std::string& dir, const std::string& name11, std::vector<std::uint8_t>& out);
  // At most `limit` bytes from the start of the file.
  int ReadCardFileStart(const std::string& dir, const std::string& name11, std::size_t limit,
                        std::vector<std::uint8_t>& out);
  // Replaces a file of that name the way the system always has: the old file is deleted first,
  // so the new one may reuse its clusters.
  int WriteCardFileData(const std::string& dir, const std::string& name11,
                        std::span<const std::uint8_t> data);
  // Replaces a file so that a write cut off anywhere leaves the old file or the new one whole:
  // the new data goes to free clusters, then the entry is rewritten in one sector, then the old
  // chain is freed. Needs room for both.
  int ReplaceCardFileData(const std::string& dir, const std::string& name11,
                          std::span<const std::uint8_t> data);

  // Before a write: another program may have written the card since this connection read it. The
  // boot sector and the root directory are read again (nine sectors or so); when they changed (every
  // catalogue write changes the root), whatever else is held of the card (FAT sectors, free count)
  // is forgotten and read again as needed, and a boot sector that changed is mounted anew. 1 when
  // nothing had changed, 2 when the card had, 0 when it cannot be read.
  int ReadAgain();
  // --- Damage -------------------------------------------------------------------------------
  // Follows every chain of the root and of its directories: 0 (Corrupt, with `problem` in words)
  // when one runs into a cluster the FAT calls free, into another file's chain or out of the data
  // area. A card that fails is not to be written or recovered: only a format mends it.
  int CheckChains(std::string& problem);

  // Replaces files of the root as one set: every new chain is written first, then the entries
  // change (in one sector write when they share a root sector, as a format's catalogue files do),
  // then the old chains are freed. Room for all of them is checked before anything is written, so a
  // set that cannot be replaced whole is not replaced at all. Files not yet in the root fall back to
  // one write each.
  int ReplaceRootFilesTogether(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& files);

  // --- Space --------------------------------------------------------------------------------
  // Free clusters among 2 to ClusterCount - 1, with the progress texts of the count.
  std::uint32_t CountFreeClusters();
  // Chain ends (files and directories) among 2 to ClusterCount - 1.
  std::uint32_t CountChainEnds();
  // The free-space report after a connect: status pane 3.
  void ShowCardFreeSpace();
  // The same count without texts, kept up to date as clusters are taken and freed.
  std::uint32_t FreeClusters();
  std::uint32_t SectorsForSize(std::uint32_t bytes) const;
  std::uint32_t SectorsOfRootFile(const std::string& name11);
  std::uint32_t TransferUnitsPerFile() const { return 2 * geometry_.SecPerClust + 7; }

  // --- Format -------------------------------------------------------------------------------
  // A fresh partition table, boot sector, FATs, root and (through the catalogue creator) catalogue.
  int FormatCard();
  // The empty FATs and root of the mounted geometry, then the catalogue creator.
  void InitCardFileSystem();
  // Called at the end of InitCardFileSystem, between the player's access and release, to write
  // the empty catalogue files and the song folders.
  void SetCatalogueCreator(std::function<void(CardFileSystem&)> creator) {
    catalogueCreator_ = std::move(creator);
  }
  // Asked before the format a mount offers, once the user said yes: holds the card's write lock in
  // `lock` for the format's length. False with `error` when another program holds the card: the
  // user is told and nothing is written. Unset, nothing is asked.
  std::function<bool(std::unique_ptr<WriteLock>& lock, std::string& error)> formatGuard;
  // Where the format writes FormatFresh.html ("" for the program folder).
  std::string formatReportPath;

  // The local time that stamps directory entries; tests fix it.
  std::function<std::tm()> localTime;

  // The trace hook: texts of the card layer, handed to the device's trace.
  void TraceLine(const std::string& text);
  bool TraceEnabled() const { return device_->TraceEnabled(); }

 private:
  friend class CardFileSystemTestPeer;

  int Fail(CardError error);
  bool LoadFatSector(std::uint32_t k);
  // Every FAT sector not yet held, read in runs; false when a read failed (what was read stays).
  bool LoadWholeFat();
  bool EnsureRoot();
  bool WriteRootSectorOf(std::uint32_t index);
  std::uint32_t RootEntryCount() const;
  DirEntry RootEntry(std::uint32_t index) const;
  void PutRootEntry(std::uint32_t index, const DirEntry& entry);
  int FindDirectoryInRoot(const std::string& dir, DirEntryRef& ref);
  void ShowChainCorrupted();
  void ShowNoSpace();
  // The cluster after `cluster` in a chain: 1 and `next` set, 0 at the end of the chain, -1 when
  // the link leads nowhere (shown as corruption when `report`) or the link was cancelled.
  int NextCluster(std::uint32_t cluster, std::uint32_t& next, bool report);
  std::uint32_t ChainLength(std::uint32_t first);
  void FreeChain(std::uint32_t first);
  // Writes `data` into a new chain; `first` is 0 for empty data. The chain is in the FAT image
  // only; on failure it has been released again.
  int WriteChain(std::span<const std::uint8_t> data, std::uint32_t& first);
  int MarkEntryDeleted(const DirEntryRef& ref);
  int WriteEntryAt(const DirEntryRef& ref, const DirEntry& entry);
  int AskFormat(const char* question);
  void ResetMountState();
  // The mounted state for `g`: geometry, FAT and root images, cluster buffers.
  void AdoptGeometry(const CardGeometry& g);
  // FATs, root and (through the creator) the empty catalogue of the adopted geometry; false when a
  // write failed or the link was cancelled.
  bool WriteEmptyFileSystem();
  void RemoveCatalogueTemplates();

  Session& session_;
  SectorDevice* device_;
  CardError error_ = CardError::None;
  // What made the last mount refuse the card, in words; empty after a good mount.
  std::string mountProblem_;

  bool mounted_ = false;
  bool formatting_ = false;
  CardIdentity identity_;
  SectorImage mbr_{};
  SectorImage pbr_{};
  CardGeometry geometry_;

  std::vector<std::uint8_t> fat_;
  std::vector<std::uint8_t> fatState_;
  std::vector<std::uint8_t> root_;
  bool rootLoaded_ = false;
  std::vector<std::uint8_t> cluster_;
  // The last run of a file written, with the zeros after the file's end.
  std::vector<std::uint8_t> runBuffer_;

  // Every cluster from 2 below this one is in use, so the search for a free one starts here.
  std::uint32_t freeHint_ = 2;
  // Free clusters among 2 to LastAllocatable, once counted; -1 until then.
  std::int64_t freeCount_ = -1;

  // The one open directory listing.
  std::vector<std::uint8_t> listingBuffer_;
  std::uint32_t listingCluster_ = 0;
  std::uint32_t listingIndex_ = 0;
  std::vector<bool> listingSeen_;
  bool listingOpen_ = false;

  std::function<void(CardFileSystem&)> catalogueCreator_;
};

}  // namespace sondesk
