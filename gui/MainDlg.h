#pragma once
// The main window: the library on the PC above, the card below, the toolbar, the menus of the
// user's language and the status bar. It routes every command to the operation that carries it out,
// keeps the connection state, polls the card drive and the player every 800 ms and marks the songs
// that stand on both lists.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "app/Session.h"
#include "catalogue/CardService.h"
#include "library/SongSearch.h"

class QAction;
class QLabel;
class QToolBar;
class QTreeView;

namespace sondesk {

class CardWarningOverlay;
class DriveProbe;
class KaraokeView;
class SongPlayback;
class QtUi;
class SongListModel;

enum class ListSide { Library, Card };

class MainDlg : public QMainWindow {
  Q_OBJECT
 public:
  struct Options {
    bool splash = true;          // the start-up picture
    bool timers = true;          // status poll and first-run step
    int firstRunDelayMs = 4000;  // timer 555
    int pollPeriodMs = 800;      // timer 992
  };

  MainDlg(Session& session, QtUi& ui, Options options, QWidget* parent = nullptr);
  ~MainDlg() override;

  // Every command of the menus and the toolbar, by number.
  void RunCommand(int id);

  // Refills both lists from the session, marks the songs on both, sorts and counts.
  void RefreshLists();
  void ShowFreeSpace();
  void UpdateToolbarState();
  // Timer 992 and timer 555, callable directly.
  void StatusPoll();
  void FirstRunStep();
  // The warning lines over the card list, drawn while no card can be reached after start-up.
  void UpdateCardWarning();
  // Files dropped on the window (or handed over by a test).
  void ImportFiles(const std::vector<std::string>& paths);
  // Runs `work` as a command runs: menus and toolbar resting, both lists refreshed afterwards.
  void RunExclusive(const std::function<void()>& work);

  // Runs once, when the first-run step has read both lists (the demo's first start fills its card).
  std::function<void()> onStartupFinished;
  // Copies library songs to the card as "to card" does; 1 when they were copied.
  int CopyToCard(const std::vector<std::size_t>& librarySongs);

  // --- For tests and the screenshot tour -------------------------------------------------------
  QTreeView* view(ListSide side) const;
  SongListModel* model(ListSide side) const;
  QAction* toolbarAction(int toolbarId) const;
  QAction* menuAction(int command) const;
  QToolBar* toolbar() const { return toolbar_; }
  QString paneText(int pane) const;
  bool cardWarningVisible() const;
  std::vector<std::size_t> SelectedEntries(ListSide side) const;
  void SelectEntries(ListSide side, const std::vector<std::size_t>& entries);
  CardService& card() { return card_; }
  SongPlayback& playback() { return *playback_; }
  // The karaoke view; nullptr until a song was played or its pages were shown.
  KaraokeView* karaokeView() const { return karaoke_; }
  // The selected song's lyric pages in the karaoke view, without sound.
  void ShowLyricPages();
  SearchState& searchState() { return searchState_; }
  bool busy() const { return busy_ > 0; }
  int pollSkip() const { return pollSkip_; }

  // The status bar's six panes.
  void SetPane(int pane, const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // While a command runs, its progress steps let events through; a second command reached that way
  // would start a second progress run over lists the first one is changing. The menus and the
  // toolbar rest meanwhile, and the status poll only counts.
  class BusyScope {
   public:
    explicit BusyScope(MainDlg& w) : w_(w) {
      if (w_.busy_++ == 0) w_.SetCommandsResting(true);
    }
    ~BusyScope() {
      if (--w_.busy_ == 0) w_.SetCommandsResting(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    MainDlg& w_;
  };
  void SetCommandsResting(bool resting);

  void BuildLists();
  void BuildToolbar();
  void BuildMenus();
  void BuildStatusBar();
  void ApplyColumnWidths();
  void PlaceWindow();
  void SaveLayout();
  int Language() const;

  void OnColumnClicked(ListSide side, int column);
  void OnDeleteKey(ListSide side);
  void ApplyDriveProbe(const std::string& drive, long long freeBytes);

  // The commands.
  void CmdPrint();
  void CmdSaveDatabase();
  void CmdSongbook();
  void CmdImportFromPc();
  void CmdImportFromFloppy();
  void CmdTransferToCard();
  void CmdTransferFromCard();
  void CmdChooseDownloadDir();
  void CmdConnect();
  void CmdFormatCard();
  void CmdExit();
  void CmdFind();
  void CmdSelectAllLibrary();
  void CmdSelectNotOnOther(ListSide side);
  void CmdEditInfo();
  void CmdDeleteSong();
  void CmdDeleteLibrarySongs();
  bool CmdDeleteCardSongs();
  void CmdPlay();
  void CmdStop();
  // Playback: the song Play takes (a library song, else a card song copied to the work folder),
  // the karaoke view, and the buttons when a song ends by itself.
  std::string SongToPlay();
  KaraokeView& Karaoke();
  void OnSongEnded();
  void CmdMidiSetup();
  void CmdIndexRegeneration();
  void CmdPlaylist();
  void CmdUpdateFirmware();
  void CmdPlayerOptions();
  void CmdProgramSettings();
  void CmdCardReport();
  void CmdAbout();
  void CmdWww();

  // The card list again from the card's catalogue (or empty when the card cannot be reached).
  void ReadCardList();
  void ReadLibraryList();
  void AfterCardChanged();

  Session& session_;
  QtUi& ui_;
  Options options_;
  CardService card_;
  SearchState searchState_;
  std::unique_ptr<SongPlayback> playback_;
  KaraokeView* karaoke_ = nullptr;

  QTreeView* libraryView_ = nullptr;
  QTreeView* cardView_ = nullptr;
  SongListModel* libraryModel_ = nullptr;
  SongListModel* cardModel_ = nullptr;
  CardWarningOverlay* warning_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QHash<int, QAction*> toolbarActions_;
  QHash<int, QAction*> menuActions_;
  std::vector<QLabel*> panes_;
  ListSide lastFocused_ = ListSide::Library;

  QTimer pollTimer_;      // 992
  QTimer firstRunTimer_;  // 555
  int pollSkip_ = 5;
  int busy_ = 0;
  bool closing_ = false;
  bool placed_ = false;
  DriveProbe* probe_ = nullptr;
};

}  // namespace sondesk
