#include "tools/DiagView.h"

#include <unistd.h>

#include <memory>

#include "app/Paths.h"
#include "app/Session.h"
#include "cardfs/CardConnection.h"
#include "cardfs/CardReport.h"
#include "tools/ToolUi.h"

namespace sondesk {
namespace {

constexpr int kSongFolders = 31;

std::string Text(const std::string& s) {
  std::string t;
  for (char c : s) t += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '.' : c;
  return t;
}

void PrintIdentity(std::FILE* out, const CardIdentity& id) {
  std::fprintf(out, "Identification\n");
  std::fprintf(out, "  configuration word   0x%04X\n", id.Word(0));
  std::fprintf(out, "  default C/H/S        %u/%u/%u\n", id.DefaultCylinders(), id.DefaultHeads(),
               id.DefaultSectorsPerTrack());
  std::fprintf(out, "  current C/H/S        %u/%u/%u\n", id.Word(54), id.Word(55), id.Word(56));
  std::fprintf(out, "  capacity in sectors  %lu\n",
               static_cast<unsigned long>(id.Word(58)) * 65536UL + id.Word(57));
  std::fprintf(out, "  LBA sectors          %lu\n",
               static_cast<unsigned long>(id.Word(60)) | (static_cast<unsigned long>(id.Word(61)) << 16));
  std::fprintf(out, "  serial number        %s\n", Text(id.Serial()).c_str());
  std::fprintf(out, "  firmware revision    %s\n", Text(id.FirmwareRevision()).c_str());
  std::fprintf(out, "  model                %s\n", Text(id.Model()).c_str());
}

void PrintPartitions(std::FILE* out, const SectorImage& mbr) {
  std::fprintf(out, "Master boot record (signature %02X %02X)\n", mbr[510], mbr[511]);
  for (int i = 0; i < 4; ++i) {
    const PartitionEntry p = PartitionEntry::Parse(mbr, i);
    if (p.type == 0) continue;
    std::fprintf(out, "  partition %d: type 0x%02X%s, first sector %u, %u sectors\n", i, p.type,
                 p.bootIndicator == 0x80 ? " (active)" : "", p.firstLba, p.sectors);
  }
}

void PrintBootSector(std::FILE* out, const SectorImage& pbr, const CardGeometry& g) {
  const BootSector b = BootSector::Parse(pbr);
  std::fprintf(out, "Boot sector at sector %u\n", g.PbrLba);
  std::fprintf(out, "  OEM name             %s\n", Text(b.oemName).c_str());
  std::fprintf(out, "  bytes per sector     %u\n", b.bytesPerSec);
  std::fprintf(out, "  sectors per cluster  %u\n", b.secPerClust);
  std::fprintf(out, "  reserved sectors     %u\n", b.resSectors);
  std::fprintf(out, "  FATs                 %u of %u sectors\n", b.fats, b.fatSecs);
  std::fprintf(out, "  root entries         %u\n", b.rootDirEnts);
  std::fprintf(out, "  sectors              %u\n", b.sectors ? b.sectors : b.hugeSectors);
  std::fprintf(out, "  media                0x%02X\n", b.media);
  std::fprintf(out, "  hidden sectors       %u\n", b.hiddenSecs);
  std::fprintf(out, "  volume ID            0x%08X\n", b.volumeId);
  std::fprintf(out, "  volume label         %s\n", Text(b.volumeLabel).c_str());
  std::fprintf(out, "  file system          %s\n", Text(b.fileSysType).c_str());
}

void PrintFatSummary(std::FILE* out, CardFileSystem& fs) {
  const CardGeometry& g = fs.geometry();
  const std::uint32_t freeClusters = fs.CountFreeClusters();
  std::fprintf(out, "FAT\n");
  std::fprintf(out, "  clusters             %u of %u bytes\n", g.ClusterCount - 2, g.ClusterBytes);
  std::fprintf(out, "  free clusters        %u (%llu KB)\n", freeClusters,
               static_cast<unsigned long long>(freeClusters) * g.SecPerClust / 2);
  std::fprintf(out, "  files and folders    %u\n", fs.CountChainEnds());
}

void PrintCatalogue(std::FILE* out, CardFileSystem& fs) {
  std::fprintf(out, "Catalogue\n");
  std::vector<std::uint8_t> index0;
  if (fs.ReadCardFileData("", "INDEX0  DAT", index0) == 1 && index0.size() >= 32) {
    std::fprintf(out, "  songs in INDEX0.DAT  %zu\n", index0.size() / 32 - 1);
  } else {
    std::fprintf(out, "  INDEX0.DAT           missing\n");
  }
  std::size_t songFiles = 0, folders = 0;
  for (int k = 0; k < kSongFolders; ++k) {
    std::vector<DirEntryRef> entries;
    if (fs.ListDirectory(std::to_string(k), entries) != 1) continue;
    ++folders;
    for (const DirEntryRef& e : entries) {
      if (!e.entry.IsDirectory() && !e.entry.IsVolumeLabel() && e.entry.Name11().substr(8) == "MF3") ++songFiles;
    }
  }
  std::fprintf(out, "  song folders         %zu of %d\n", folders, kSongFolders);
  std::fprintf(out, "  song files           %zu\n", songFiles);
  std::vector<DirEntryRef> root;
  std::size_t playlists = 0;
  if (fs.ListDirectory("", root) == 1) {
    for (const DirEntryRef& e : root) {
      const std::string n = e.entry.Name11();
      if (n.rfind("PLAY", 0) == 0 && n.substr(8) == "PLL") ++playlists;
    }
  }
  std::fprintf(out, "  playlists            %zu\n", playlists);
}

}  // namespace

int RunDiagView(const DiagViewOptions& options, std::FILE* out) {
  ToolUi ui(stderr);
  Session session(ui, Paths::FromEnvironment());
  std::string error;
  std::unique_ptr<CardConnection> card = CardConnection::Open(session, options.image, "", error);
  if (!card) {
    std::fprintf(stderr, "diagview: %s: %s\n", options.image.c_str(), error.c_str());
    return 1;
  }
  CardFileSystem& fs = card->fs();
  const bool mounted = fs.MountCard() == 1;
  std::fprintf(out, "Card %s\n", options.image.c_str());
  PrintIdentity(out, fs.identity());
  PrintPartitions(out, fs.mbrImage());
  if (!mounted) {
    std::fprintf(stderr, "diagview: no FAT16 file system the player can use: %s\n", fs.lastErrorText().c_str());
    return 1;
  }
  PrintBootSector(out, fs.pbrImage(), fs.geometry());
  PrintFatSummary(out, fs);
  PrintCatalogue(out, fs);
  if (options.reportDir.empty()) return 0;
  if (!MakeFolders(options.reportDir)) {
    std::fprintf(stderr, "diagview: cannot create %s\n", options.reportDir.c_str());
    return 2;
  }
  const std::string fresh = JoinPath(options.reportDir, "FormatFresh.html");
  const std::string extended = JoinPath(options.reportDir, "ExtendedInfo.html");
  // The extended report copies INDEX0.DAT off the card on its way; the copy is no business of
  // the report folder.
  const std::string index0 = JoinPath(session.workDir(), "diagview-INDEX0.DAT");
  MakeFolders(session.workDir());
  const bool ok = WriteFormatReport(fs, fresh) && WriteExtendedReport(fs, extended, index0) == 1;
  ::unlink(index0.c_str());
  if (!ok) {
    std::fprintf(stderr, "diagview: cannot write the reports in %s\n", options.reportDir.c_str());
    return 2;
  }
  std::fprintf(out, "Reports\n  %s\n  %s\n", fresh.c_str(), extended.c_str());
  return 0;
}

}  // namespace sondesk
