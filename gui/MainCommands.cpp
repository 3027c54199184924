// The main window's commands: each menu item and toolbar button runs one operation of the core.
#include <QApplication>
#include <QProcess>
#include <QTreeView>

#include "cardfs/CardFileSystem.h"
#include "cardfs/CardReport.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CardCommands.h"
#include "catalogue/CardTransfers.h"
#include "gui/CommandIds.h"
#include "gui/ExportDialog.h"
#include "gui/FileInfoDlg.h"
#include "gui/ListPrinter.h"
#include "gui/MainDlg.h"
#include "gui/OptionsDlg.h"
#include "gui/PlSelectDlg.h"
#include "gui/QtUi.h"
#include "gui/SearchDlg.h"
#include "gui/SettingsDlg.h"
#include "gui/SongbookDialog.h"
#include "gui/SongListModel.h"
#include "gui/Text.h"
#include "library/LibraryStore.h"
#include "library/SongImport.h"
#include "library/SongInfo.h"
#include "library/TextExport.h"
#include "pdf/SongbookPdf.h"

namespace sondesk {

namespace {

// One card write of the desktop program holds the card's write lock (another program or command
// waits) and is refused on a card whose chains are damaged, or that another program changed since
// its list was read (the list is then read again). False after telling the user why.
bool BeginCardWrite(MainDlg& window, Session& s, CardService& card, std::unique_ptr<WriteLock>& lock,
                    bool format = false) {
  std::string error;
  if (card.BeginWrite(lock, error, format)) return true;
  s.ShowBox(error, 21, BoxIcon::Stop, BoxButtons::Ok);
  if (Catalogue* c = card.CatalogueNow(); c != nullptr && c->listOutdated) {
    LoadCardCatalogue(*c);
    window.RefreshLists();
  }
  return false;
}

// A library write holds the library folder's lock, as the command line's do.
bool LockLibrary(Session& s, std::unique_ptr<WriteLock>& lock) {
  std::string error;
  MakeFolders(s.libraryDir());
  lock = WriteLock::Acquire(s.libraryDir(), "the library folder", error);
  if (lock) return true;
  s.ShowBox(error, 21, BoxIcon::Stop, BoxButtons::Ok);
  return false;
}

}  // namespace

void MainDlg::RunCommand(int id) {
  const int command = cmd::MenuCommandOf(id);
  if (busy_ > 0 || closing_) return;
  if (command == cmd::kImportFromInternet) return;
  if (command == cmd::kExit) {
    CmdExit();
    return;
  }
  BusyScope busy(*this);
  switch (command) {
    case cmd::kPrint:
      CmdPrint();
      break;
    case cmd::kSaveDatabase:
      CmdSaveDatabase();
      break;
    case cmd::kSongbook:
      CmdSongbook();
      break;
    case cmd::kImportFromPc:
      CmdImportFromPc();
      break;
    case cmd::kImportFromFloppy:
      CmdImportFromFloppy();
      break;
    case cmd::kTransferToCard:
      CmdTransferToCard();
      break;
    case cmd::kTransferFromCard:
      CmdTransferFromCard();
      break;
    case cmd::kChooseDownloadDir:
      CmdChooseDownloadDir();
      break;
    case cmd::kConnect:
      CmdConnect();
      break;
    case cmd::kFormatCard:
      CmdFormatCard();
      break;
    case cmd::kFind:
      CmdFind();
      break;
    case cmd::kSelectAllLibrary:
      CmdSelectAllLibrary();
      break;
    case cmd::kSelectNotOnCard:
      CmdSelectNotOnOther(ListSide::Library);
      break;
    case cmd::kSelectNotOnLibrary:
      CmdSelectNotOnOther(ListSide::Card);
      break;
    case cmd::kEditInfo:
      CmdEditInfo();
      break;
    case cmd::kDeleteSong:
      CmdDeleteSong();
      break;
    case cmd::kPlay:
      CmdPlay();
      break;
    case cmd::kStop:
      CmdStop();
      break;
    case cmd::kMidiSetup:
      CmdMidiSetup();
      break;
    case cmd::kIndexRegeneration:
      CmdIndexRegeneration();
      break;
    case cmd::kPlaylist:
      CmdPlaylist();
      break;
    case cmd::kUpdateFirmware:
      CmdUpdateFirmware();
      break;
    case cmd::kPlayerOptions:
      CmdPlayerOptions();
      break;
    case cmd::kProgramSettings:
      CmdProgramSettings();
      break;
    case cmd::kCardReport:
      CmdCardReport();
      break;
    case cmd::kAbout:
      CmdAbout();
      break;
    case cmd::kWww:
      CmdWww();
      break;
    default:
      break;
  }
}

// --- File -------------------------------------------------------------------------------------

void MainDlg::CmdPrint() {
  if (session_.linkMode == LinkMode::Player &&
      session_.ShowBox(session_.Text(14), 22, BoxIcon::Warning, BoxButtons::YesNo) != BoxAnswer::Yes) {
    return;
  }
  PrintSongLists(session_, *this, card_.Reachable(), "Lista delle song su Compact Flash",
                 "Lista delle song su Hard Disk");
}

void MainDlg::CmdSaveDatabase() {
  const std::optional<ExportChoice> choice = AskExportFile(session_, this);
  if (!choice) return;
  ExportSongList(session_, choice->path, choice->list);
}

void MainDlg::CmdSongbook() {
  const std::optional<SongbookChoice> choice = AskSongbookFile(session_, card_.Reachable(), this);
  if (!choice) return;
  std::string why;
  session_.BusyCursorOn();
  const bool written = ExportSongbook(session_, choice->path, choice->ofCard, why);
  session_.BusyCursorOff();
  if (!written) session_.ShowBox(why, 21, BoxIcon::Stop, BoxButtons::Ok);
}

void MainDlg::CmdImportFromPc() {
  if (ImportFromPcDialog(session_).started) RefreshLists();
}

void MainDlg::CmdImportFromFloppy() {
  // Linux has no drive A: the floppy or removable folder of the settings, else the user picks one.
  std::string folder = session_.settings().floppyPath;
  if (folder.empty() || !IsFolder(folder)) {
    const std::optional<std::string> picked =
        ui_.PickFolder(session_.Text(165), session_.settings().importPath);
    if (!picked) return;
    folder = *picked;
  }
  if (ImportFromFloppy(session_, folder).started) RefreshLists();
}

void MainDlg::ImportFiles(const std::vector<std::string>& paths) {
  if (busy_ > 0 || closing_ || paths.empty()) return;
  std::unique_ptr<WriteLock> lock;
  if (!LockLibrary(session_, lock)) return;
  BusyScope busy(*this);
  ImportDroppedFiles(session_, paths);
  RefreshLists();
}

void MainDlg::RunExclusive(const std::function<void()>& work) {
  if (busy_ > 0 || closing_) return;
  {
    BusyScope busy(*this);
    work();
  }
  RefreshLists();
}

void MainDlg::AfterCardChanged() {
  RefreshLists();
  ShowFreeSpace();
}

int MainDlg::CopyToCard(const std::vector<std::size_t>& librarySongs) {
  Catalogue* c = card_.CatalogueNow();
  if (c == nullptr || librarySongs.empty()) return 0;
  std::unique_ptr<WriteLock> lock;
  if (!BeginCardWrite(*this, session_, card_, lock)) return 0;
  BusyScope busy(*this);
  const int result = CardToCommand(*c, librarySongs);
  if (result == 1) AfterCardChanged();
  return result;
}

void MainDlg::CmdTransferToCard() {
  CopyToCard(SelectedEntries(ListSide::Library));
}

void MainDlg::CmdTransferFromCard() {
  Catalogue* c = card_.CatalogueNow();
  if (c == nullptr) return;
  const std::vector<std::size_t> selected = SelectedEntries(ListSide::Card);
  if (selected.empty()) return;
  std::unique_ptr<WriteLock> lock;
  if (!LockLibrary(session_, lock)) return;
  session_.BusyCursorOn();
  CopySongsFromCard(*c, selected);
  session_.BusyCursorOff();
  AfterCardChanged();
}

void MainDlg::CmdChooseDownloadDir() {
  const std::optional<std::string> dir = ui_.PickFolder(session_.Text(128), session_.libraryDir());
  if (!dir) return;
  session_.settings().WriteString("Settings", "CWD", *dir);
  session_.SetLibraryDir(*dir);
  ReadLibraryList();
  RefreshLists();
}

void MainDlg::CmdConnect() {
  firstRunTimer_.start(200);
}

void MainDlg::CmdFormatCard() {
  std::unique_ptr<WriteLock> lock;
  if (BeginCardWrite(*this, session_, card_, lock, /*format=*/true) && card_.Format() == 1) RefreshLists();
  ShowFreeSpace();
}

void MainDlg::CmdExit() {
  close();
}

// --- Modify -----------------------------------------------------------------------------------

void MainDlg::CmdFind() {
  searchState_.Restart();
  SearchDlg dlg(session_, searchState_, *libraryView_, *libraryModel_, *cardView_, *cardModel_, this);
  dlg.exec();
  view(searchState_.lastList == SearchListId::Card ? ListSide::Card : ListSide::Library)->setFocus();
}

void MainDlg::CmdSelectAllLibrary() {
  const int rows = libraryModel_->rowCount();
  Progress& p = session_.progress();
  p.ProgressStart(static_cast<std::uint32_t>(rows));
  if (rows > 0) {
    QItemSelection all(libraryModel_->index(0, 0), libraryModel_->index(rows - 1, kSongColumns - 1));
    libraryView_->selectionModel()->select(all, QItemSelectionModel::ClearAndSelect);
  }
  p.ProgressStep(static_cast<std::uint32_t>(rows));
  p.ProgressEnd();
  libraryView_->setFocus();
}

void MainDlg::CmdSelectNotOnOther(ListSide side) {
  QTreeView* v = view(side);
  SongListModel* m = model(side);
  const SongList& list = side == ListSide::Library ? session_.library : session_.card;
  const int rows = m->rowCount();
  Progress& p = session_.progress();
  p.ProgressStart(static_cast<std::uint32_t>(rows));
  // Runs of rows as ranges: one selection of a few ranges, not 16,384 single ones.
  QItemSelection sel;
  int runStart = -1;
  for (int r = 0; r <= rows; ++r) {
    const int e = r < rows ? m->EntryAt(r) : -1;
    const bool wanted = e >= 0 && static_cast<std::size_t>(e) < list.size() &&
                        list[static_cast<std::size_t>(e)].inBothLists == 0;
    if (wanted && runStart < 0) runStart = r;
    if (!wanted && runStart >= 0) {
      sel.select(m->index(runStart, 0), m->index(r - 1, kSongColumns - 1));
      runStart = -1;
    }
  }
  v->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
  p.ProgressStep(static_cast<std::uint32_t>(rows));
  p.ProgressEnd();
  v->setFocus();
}

void MainDlg::CmdEditInfo() {
  const std::vector<std::size_t> selected = SelectedEntries(ListSide::Library);
  if (selected.size() != 1 || selected[0] >= session_.library.size()) return;
  const std::string path = session_.library[selected[0]].path;
  FileInfoDlg dlg(session_, path, this);
  if (!dlg.opened()) return;
  if (dlg.exec() == QDialog::Accepted) MarkSongEdited(session_.library, path, dlg.savedTexts());
  RefreshLists();
  const long entry = FindLibraryEntry(session_, path);
  if (entry >= 0) SelectEntries(ListSide::Library, {static_cast<std::size_t>(entry)});
  libraryView_->setFocus();
}

void MainDlg::CmdDeleteLibrarySongs() {
  const std::vector<std::size_t> selected = SelectedEntries(ListSide::Library);
  if (selected.empty()) return;
  std::unique_ptr<WriteLock> lock;
  if (!LockLibrary(session_, lock)) return;
  if (DeleteLibrarySongs(session_, selected)) {
    ReadLibraryList();
    RefreshLists();
  }
}

bool MainDlg::CmdDeleteCardSongs() {
  const std::vector<std::size_t> selected = SelectedEntries(ListSide::Card);
  if (selected.empty()) return false;
  Catalogue* c = card_.CatalogueNow();
  if (c == nullptr) return false;
  std::unique_ptr<WriteLock> lock;
  if (!BeginCardWrite(*this, session_, card_, lock)) return false;
  if (CardDeleteCommand(*c, selected) == 1) {
    AfterCardChanged();
    return true;
  }
  ShowFreeSpace();
  return false;
}

void MainDlg::CmdDeleteSong() {
  bool libraryChanged = false;
  const std::vector<std::size_t> onLibrary = SelectedEntries(ListSide::Library);
  if (!onLibrary.empty() && DeleteLibrarySongs(session_, onLibrary)) {
    ReadLibraryList();
    libraryChanged = true;
  }
  if (!CmdDeleteCardSongs()) {
    if (libraryChanged) RefreshLists();
    ShowFreeSpace();
  }
}

// --- Tools ------------------------------------------------------------------------------------

void MainDlg::CmdIndexRegeneration() {
  Catalogue* c = card_.CatalogueNow();
  if (c == nullptr) return;
  std::unique_ptr<WriteLock> lock;
  if (!BeginCardWrite(*this, session_, card_, lock)) return;
  RecoverCommand(*c);
  RefreshLists();
}

void MainDlg::CmdPlaylist() {
  Catalogue* c = card_.CatalogueNow();
  if (c == nullptr) return;
  ReadTitleIndexImage(*c);
  PlSelectDlg dlg(*c, this);
  dlg.exec();
  // A change another program made to the card refused the dialog's writes: the list as it is now.
  if (c->listOutdated) {
    ReadCardList();
    RefreshLists();
  }
}
void MainDlg::CmdPlayerOptions() {
  Catalogue* c = card_.CatalogueNow();
  if (c == nullptr) return;
  OptionsDlg dlg(*c, this);
  if (dlg.opened()) dlg.exec();
  if (c->listOutdated) {
    ReadCardList();
    RefreshLists();
  }
}

void MainDlg::CmdProgramSettings() {
  SettingsDlg dlg(
      session_,
      [this] {
        ReadCardList();
        RefreshLists();
      },
      this);
  dlg.exec();
  ShowFreeSpace();
}

void MainDlg::CmdCardReport() {
  if (session_.linkMode != LinkMode::Player) return;
  CardFileSystem* fs = card_.fileSystem();
  if (fs == nullptr) return;
  // The program folder of an installation may be read-only: the report goes to the work folder.
  MakeFolders(session_.workDir());
  const std::string report = JoinPath(session_.workDir(), "ExtendedInfo.html");
  session_.BusyCursorOn();
  const int written = WriteExtendedReport(*fs, report, JoinPath(session_.workDir(), "INDEX0.DAT"));
  session_.BusyCursorOff();
  if (written == 1) ui_.OpenExternal(report);
  ShowFreeSpace();
}

void MainDlg::CmdAbout() {
  session_.ShowBox(FormatText(session_.Text(106), SONDESK_VERSION), 23, BoxIcon::Info, BoxButtons::Ok);
}

void MainDlg::CmdWww() {
  const std::string& url = session_.settings().deviceUrl;
  if (!url.empty()) ui_.OpenExternal(url);
}

}  // namespace sondesk
