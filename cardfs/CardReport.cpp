#include "cardfs/CardReport.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/Endian.h"
#include "cardfs/CardFileSystem.h"
#include "cardfs/ChainGuard.h"
#include "app/AtomicFile.h"

namespace sondesk {

namespace {

constexpr const char* kReportHead =
    "<html><STYLE>"
    "BODY { font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 12px; margin: 2px; }\n"
    "INPUT, LI, TD { font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 10px; }\n"
    "TH { font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 10px; color: #00003F; }\n"
    "IMG { border: 0; }\n"
    "A:link, A:visited { font-family: Verdana, Arial, Helvetica, sans-serif; font-weight: bold; "
    "text-decoration: underline; }\n"
    "A:hover { color: white; background-color: black; }\n"
    "A:active { color: red; background-color: white; }\n"
    "H1 { font-family: Verdana, Arial, Helvetica, sans-serif; font-weight: bold; text-align: left; "
    "font-size: 14px; }\n"
    "H2 { font-family: Verdana, Arial, Helvetica, sans-serif; font-weight: bold; text-align: left; "
    "font-size: 12px; }\n"
    "HR { color: black; }\n"
    "</STYLE></HEAD><BODY>";

// Card bytes go into the page as text, never as markup: a label or file name holding "<" must
// not become a tag in a page the user opens in a browser.
std::string Html(const std::string& raw) {
  std::string out;
  for (char c : raw) {
    if (c == '\0') break;
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Bytes(const std::uint8_t* p, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}

void TableStart(std::FILE* f) {
  std::fprintf(f, "<table border=1 cellspacing=0 cellpadding=2><tr><th>%s</th><th>%s</th></tr>\n", "Item",
               "Value");
}
void TextRow(std::FILE* f, const char* label, const std::string& value) {
  std::fprintf(f, "<tr><td>%s</td><td>%s</td></tr>\n", label, Html(value).c_str());
}
void DecRow(std::FILE* f, const char* label, unsigned long value) {
  std::fprintf(f, "<tr><td>%s</td><td>%lu</td></tr>\n", label, value);
}
void HexRow(std::FILE* f, const char* label, unsigned long value) {
  std::fprintf(f, "<tr><td>%s</td><td>0x%lx</td></tr>\n", label, value);
}
void TableEnd(std::FILE* f) {
  std::fprintf(f, "</table>\n");
}

// "<td>0x2,0x3, 0x4, 0xffff</td>": the chain from `first`, stopped with a red mark where it links
// below cluster 2, and where it runs in a circle.
void ChainCell(std::FILE* f, CardFileSystem& fs, std::uint32_t first) {
  std::fprintf(f, "<td>0x%lx,", static_cast<unsigned long>(first));
  std::uint32_t c = first;
  ChainGuard guard(fs.geometry().LastCluster);
  guard.Visit(c);
  for (;;) {
    const std::uint16_t n = c < 2 ? 0 : fs.GetFatEntry(c);
    if (IsEndOfChain(n)) {
      std::fprintf(f, "0x%lx", static_cast<unsigned long>(n));
      std::fprintf(f, "</td>\n");
      return;
    }
    if (n < 2 || (n <= fs.geometry().LastCluster && !guard.Visit(n))) {
      std::fprintf(f, "<font color=red><b>Chain error</b></font></td>\n");
      return;
    }
    std::fprintf(f, "0x%lx, ", static_cast<unsigned long>(n));
    c = n;
  }
}

}  // namespace

void WriteReportHead(std::FILE* f) {
  std::fprintf(f, "%s\n", kReportHead);
}

void WriteHardwareReport(std::FILE* f, CardFileSystem& fs) {
  const CardIdentity& id = fs.identity();
  std::fprintf(f, "<h1>Flash Card Hardware Info</h1>\n");
  TableStart(f);
  HexRow(f, "General configuration word 0x848A", id.Word(0));
  DecRow(f, "Default Cylinders", id.Word(1));
  DecRow(f, "Default Heads", id.Word(3));
  DecRow(f, "Default Sectors/Track", id.Word(6));
  DecRow(f, "Current Cylinders", id.Word(54));
  DecRow(f, "Current Heads", id.Word(55));
  DecRow(f, "Current Sectors/Track", id.Word(56));
  DecRow(f, "Capacity in Sectors", static_cast<unsigned long>(id.Word(58)) * 65536ul + id.Word(57));
  DecRow(f, "Sectors Addressable in LBA", GetLe32(id.bytes.data() + 120));
  TextRow(f, "Serial Number",
          Bytes(id.bytes.data() + CardIdentity::kSerialOffset, CardIdentity::kSerialLength));
  TextRow(f, "Firmware Revision",
          Bytes(id.bytes.data() + CardIdentity::kFirmwareOffset, CardIdentity::kFirmwareLength));
  TextRow(f, "Model Number", Bytes(id.bytes.data() + CardIdentity::kModelOffset, CardIdentity::kModelLength));
  TableEnd(f);

  const SectorImage& mbr = fs.mbrImage();
  std::fprintf(f, "<h1>Flash Card MasterBootRecord Info</h1>\n");
  TableStart(f);
  HexRow(f, "DriveNumber", mbr[36]);
  HexRow(f, "BootSignature", mbr[38]);
  HexRow(f, "VolumeID", GetLe32(mbr.data() + 39));
  for (int i = 0; i < 4; ++i) {
    const PartitionEntry e = PartitionEntry::Parse(mbr, i);
    if (e.type == 0) continue;
    std::fprintf(f, "<tr><th colspan=2>Partition %d</th></tr>\n", i);
    HexRow(f, "PartBootInd", e.bootIndicator);
    DecRow(f, "PartStartHead", e.startHead);
    HexRow(f, "PartStartSector (bit 0-5)", e.startSector);
    HexRow(f, "PartStartTrack (bits 8,9 in StartSec)", e.startCylinder);
    HexRow(f, "PartOpSys", e.type);
    DecRow(f, "PartEndHead", e.endHead);
    HexRow(f, "PartEndSector (bit 0-5)", e.endSector);
    HexRow(f, "PartEndTrack (bits 8,9 in EndSec)", e.endCylinder);
    DecRow(f, "PartPrecedingSecs", e.firstLba);
    DecRow(f, "PartLengthInSecs", e.sectors);
  }
  TableEnd(f);

  const BootSector b = BootSector::Parse(fs.pbrImage());
  std::fprintf(f, "<h1>Flash Card Bootsector Info</h1>\n");
  TableStart(f);
  TextRow(f, "OemName", b.oemName);
  DecRow(f, "Offset from MBR", fs.geometry().PbrLba);
  DecRow(f, "BytesPerSec", b.bytesPerSec);
  DecRow(f, "SecPerClust", b.secPerClust);
  DecRow(f, "ResSectors", b.resSectors);
  DecRow(f, "FATs", b.fats);
  DecRow(f, "RootDirEnts", b.rootDirEnts);
  DecRow(f, "Sectors", b.sectors);
  HexRow(f, "Media", b.media);
  DecRow(f, "FATsecs", b.fatSecs);
  DecRow(f, "SecPerTrack", b.secPerTrack);
  DecRow(f, "Heads", b.heads);
  DecRow(f, "HiddenSecs", b.hiddenSecs);
  DecRow(f, "HugeSectors", b.hugeSectors);
  HexRow(f, "DriveNumber", b.driveNumber);
  HexRow(f, "BootSignature", b.bootSignature);
  HexRow(f, "VolumeID", b.volumeId);
  TextRow(f, "VolumeLabel", b.volumeLabel);
  TextRow(f, "FileSysType", b.fileSysType);
  TableEnd(f);
}

bool WriteFormatReport(CardFileSystem& fs, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  WriteReportHead(f);
  WriteHardwareReport(f, fs);
  return std::fclose(f) == 0;
}

int WriteExtendedReport(CardFileSystem& fs, const std::string& reportPath, const std::string& index0Path) {
  Session& session = fs.session();
  Progress& progress = session.progress();
  if (!fs.ConnectCard()) return 0;
  progress.ProgressStartTimed(static_cast<std::uint32_t>(session.card.size()) + 38);
  std::FILE* f = std::fopen(reportPath.c_str(), "wb");
  if (!f) {
    progress.ProgressEnd();
    session.ShowCreateError(reportPath);
    return 0;
  }
  WriteReportHead(f);
  WriteHardwareReport(f, fs);

  std::fprintf(f, "<h1>Flash Card General Software Info</h1>\n");
  TableStart(f);
  const std::uint32_t free = fs.CountFreeClusters();
  DecRow(f, "Free clusters", free);
  DecRow(f, "KBytes ", static_cast<unsigned long>(free) * fs.geometry().SecPerClust / 2);
  DecRow(f, "Files and Dirs", fs.CountChainEnds());
  TableEnd(f);

  std::fprintf(f, "<h1>Root Directory Content</h1>\n");
  if (fs.rootLoaded()) {
    std::fprintf(f,
                 "<table border=1 cellspacing=0 cellpadding=2><tr><th>Filename</th><th>Size</th>"
                 "<th>Clusterchain</th>");
    const std::vector<std::uint8_t>& root = fs.rootImage();
    const std::size_t entries = std::min<std::size_t>(fs.geometry().RootDirEnts, root.size() / kDirEntrySize);
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint8_t* p = root.data() + i * kDirEntrySize;
      if (p[0] == 0x00) break;
      if (p[0] == kDeletedMark) continue;
      const DirEntry e = DirEntry::Parse(p);
      progress.ProgressSetLine1(e.Name11());
      // The name as the entry's bytes read up to their first zero: the attribute shows behind the
      // name when it is not 0.
      const std::string name = Bytes(p, static_cast<std::size_t>(std::find(p, p + kDirEntrySize, 0) - p));
      std::fprintf(f, "<tr><td>%s</td><td>%ld</td>\n", Html(name).c_str(), static_cast<long>(e.size));
      if (e.firstCluster == 0) {
        std::fprintf(f, "<td>No Allocation</td>\n");
      } else {
        ChainCell(f, fs, e.firstCluster);
      }
      std::fprintf(f, "</tr>\n");
    }
    TableEnd(f);
  }

  std::fprintf(f, "<h1>Index 0 Clusterchain</h1>\n");
  // An old copy must not stand in for a card that has lost its title index.
  std::remove(index0Path.c_str());
  fs.ReadCardFile("", "INDEX0  DAT", index0Path);
  std::FILE* index = OpenRegularFile(index0Path);
  if (!index) {
    session.ShowOpenError(index0Path);
  } else {
    std::vector<std::uint8_t> records;
    std::uint8_t buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, index)) > 0;)
      records.insert(records.end(), buf, buf + n);
    std::fclose(index);
    // The records before the terminator; a file too short to hold even that has none.
    const long count = records.size() >= 32 ? static_cast<long>(records.size() / 32) - 1 : 0;
    std::fprintf(f, "<p>%d items in index0</p>", static_cast<int>(count));
    std::fprintf(f,
                 "<table border=1 cellspacing=0 cellpadding=2><tr><th>Title</th><th>Code</th><th>Size</th>"
                 "<th>Clusterchain</th>");
    for (long i = 0; i < count; ++i) {
      const std::uint8_t* r = records.data() + i * 32;
      const unsigned number = GetLe16(r);
      const std::string title = Bytes(r + 2, static_cast<std::size_t>(std::find(r + 2, r + 32, 0) - (r + 2)));
      progress.ProgressSetLine1(title);
      std::fprintf(f, "<tr><td>%s</td><td>%ld</td>\n", Html(title).c_str(), static_cast<long>(number));
      DirEntryRef ref;
      if (!fs.FindEntry(SongFolderName11(static_cast<int>(number % 31)),
                        SongFileName11(static_cast<int>(number)), ref)) {
        std::fprintf(f, "<td colspan=2>Not found</td>\n");
      } else {
        std::vector<std::uint8_t> cluster(fs.geometry().ClusterBytes, 0);
        const bool read = fs.ReadCluster(ref.entry.firstCluster, cluster.data()) == 1;
        if (!read || std::memcmp(cluster.data(), "_MF3", 4) != 0) {
          std::fprintf(f, "<td><font color=red>Error in header<br>%ld</font></td>",
                       static_cast<long>(ref.entry.size));
        } else {
          std::fprintf(f, "<td>%ld</td>", static_cast<long>(ref.entry.size));
        }
        ChainCell(f, fs, ref.entry.firstCluster);
      }
      std::fprintf(f, "</tr>\n");
      progress.ProgressStepTimed(1);
    }
    TableEnd(f);
  }
  std::fprintf(f, "</body></html>\n");
  const bool closed = std::fclose(f) == 0;
  progress.ProgressEnd();
  if (!closed) {
    session.ShowCreateError(reportPath);
    return 0;
  }
  return 1;
}

}  // namespace sondesk
