// The card catalogue's readers of outside bytes: the index files (LoadCardCatalogue and a rebuild
// from what it loaded), PLAYLIST.LST and the PLAYn.PLL files (reading, editing, carry-over),
// SETUP.DAT, and the song headers and file names that recovery reads. The card is held in memory.
//
// The first input byte picks the reader; the rest is cut into files.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/Paths.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/Playlists.h"
#include "catalogue/SetupFile.h"

namespace sondesk {
namespace {

class MemoryCardFiles : public CardFiles {
 public:
  std::map<std::pair<int, std::string>, std::vector<std::uint8_t>> files;
  std::map<int, std::vector<std::string>> order;  // directory order of each folder

  LinkMode mode() const override { return LinkMode::Player; }
  bool ReadFile(int folder, const std::string& name, std::vector<std::uint8_t>& out) override {
    const auto it = files.find({folder, name});
    if (it == files.end()) return false;
    out = it->second;
    return true;
  }
  bool WriteFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) override {
    if (!files.count({folder, name})) order[folder].push_back(name);
    files[{folder, name}] = data;
    return true;
  }
  bool ReplaceFile(int folder, const std::string& name, const std::vector<std::uint8_t>& data) override {
    return WriteFile(folder, name, data);
  }
  bool DeleteFile(int folder, const std::string& name) override { return files.erase({folder, name}) > 0; }
  bool FileExists(int folder, const std::string& name) override { return files.count({folder, name}) > 0; }
  long long FileSize(int folder, const std::string& name) override {
    const auto it = files.find({folder, name});
    return it == files.end() ? -1 : static_cast<long long>(it->second.size());
  }
  bool FolderExists(int) override { return true; }
  bool CreateFolder(int) override { return true; }
  bool ListFolder(int folder, std::vector<CardFolderItem>& out) override {
    out.clear();
    for (const std::string& name : order[folder]) {
      const auto it = files.find({folder, name});
      if (it == files.end()) continue;
      CardFolderItem item;
      item.name = name;
      item.size = static_cast<std::uint32_t>(it->second.size());
      out.push_back(item);
    }
    return true;
  }
  bool FreeSpace(std::uint64_t& f, std::uint32_t& unit) override {
    f = 1u << 30;
    unit = 512;
    return true;
  }
  std::string DisplayName(int folder, const std::string& name) const override {
    return std::to_string(folder) + "/" + name;
  }
};

std::vector<std::uint8_t> Bytes(FuzzedDataProvider& in, std::size_t max = 4096) {
  const std::string s = in.ConsumeRandomLengthString(max);
  return std::vector<std::uint8_t>(s.begin(), s.end());
}

Session& TheSession(ScriptedUi& ui) {
  static ManualClock clock;
  static std::unique_ptr<Session> session;
  if (!session) {
    char dir[] = "/tmp/sondesk-fuzz-XXXXXX";
    if (::mkdtemp(dir) == nullptr) std::abort();
    Paths paths{std::string(dir) + "/windir", std::string(dir) + "/work", std::string(dir) + "/data"};
    paths.EnsureFolders();
    session = std::make_unique<Session>(ui, paths, clock, 1);
  }
  return *session;
}

}  // namespace
}  // namespace sondesk

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sondesk;
  static ScriptedUi ui;
  Session& session = TheSession(ui);
  ui.boxes.clear();
  ui.progressLines.clear();
  ui.statusPanes.clear();
  session.card.clear();
  session.library.clear();

  FuzzedDataProvider in(data, size);
  MemoryCardFiles files;
  Catalogue cat(session, files);
  for (const char* name :
       {"INDEX0.DAT", "INDEX1.DAT", "INDEX2.DAT", "INDEX3.DAT", "INDEX4.DAT", "ALPHA0.DAT", "SETUP.DAT"}) {
    files.WriteFile(kRootFolder, name, {});
  }
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
      files.WriteFile(kRootFolder, "INDEX0.DAT", Bytes(in, 1 << 16));
      files.WriteFile(kRootFolder, "INDEX1.DAT", Bytes(in, 1 << 16));
      files.WriteFile(kRootFolder, "INDEX2.DAT", Bytes(in, 1 << 16));
      LoadCardCatalogue(cat);
      RebuildCardCatalogue(cat);
      LoadCardCatalogue(cat);
      break;
    }
    case 1: {
      files.WriteFile(kRootFolder, "INDEX0.DAT", Bytes(in, 1 << 14));
      files.WriteFile(kRootFolder, "PLAYLIST.LST", Bytes(in, 1024));
      for (int n = 1; n <= 4; ++n) files.WriteFile(kRootFolder, Format("PLAY%d.PLL", n), Bytes(in, 1024));
      LoadCardCatalogue(cat);
      ReadPlaylistIndex(cat);
      for (std::size_t i = 0; i < cat.playlists.usedCount; ++i) {
        PlaylistEdit edit;
        LoadPlaylist(cat, cat.playlists.slots[i].baseName, edit);
        AddSongsToPlaylist(cat, edit, {0, 1}, in.ConsumeIntegral<std::uint16_t>());
        MovePlaylistSongs(cat, edit, {in.ConsumeIntegral<std::uint8_t>(), 0},
                          in.ConsumeIntegral<std::uint16_t>());
        DeletePlaylistSongs(cat, edit, {in.ConsumeIntegral<std::uint8_t>()});
      }
      cat.KeepPreviousTitleIndex();
      files.WriteFile(kRootFolder, "INDEX0.DAT", Bytes(in, 1 << 14));
      LoadCardCatalogue(cat);
      CarryOverPlaylists(cat);
      NewPlaylist(cat);
      if (cat.playlists.usedCount > 0) {
        RenamePlaylist(cat, 0, in.ConsumeRandomLengthString(64));
        DeletePlaylist(cat, in.ConsumeIntegralInRange<int>(-1, 16));
      }
      break;
    }
    case 2: {
      files.WriteFile(kRootFolder, "SETUP.DAT", Bytes(in, 512));
      ReadPlayerOptions(cat);
      for (const PlayerSetting& s : PlayerSettings())
        PlayerOptionText(cat.options, s, session.messages(), true);
      std::string error;
      SetPlayerOption(cat.options, session.messages(), false, in.ConsumeRandomLengthString(32),
                      in.ConsumeRandomLengthString(32), error);
      WritePlayerOptions(cat);
      break;
    }
    default: {
      while (in.remaining_bytes() > 0) {
        const int folder = in.ConsumeIntegralInRange<int>(0, kSongFolderCount - 1);
        const std::string name = in.ConsumeRandomLengthString(16);
        files.WriteFile(folder, name, Bytes(in, 1024));
      }
      RecoverCatalogue(cat);
      break;
    }
  }
  return 0;
}
