#include "gui/MainDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

#include "app/Drives.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CompareLists.h"
#include "gui/Artwork.h"
#include "gui/CardWarningOverlay.h"
#include "gui/CommandIds.h"
#include "gui/DriveList.h"
#include "gui/DriveProbe.h"
#include "gui/KaraokeView.h"
#include "gui/MenuTexts.h"
#include "gui/QtUi.h"
#include "gui/SongListModel.h"
#include "gui/SongListOrder.h"
#include "gui/SplashWindow.h"
#include "gui/Text.h"
#include "library/LibraryStore.h"
#include "midi/SongPlayback.h"

namespace sondesk {

namespace {

// The toolbar as the player's users know it; -1 is a separator. The text of the button at
// position i is message 137 + i and its tool tip 163 + i.
struct ToolbarButton {
  int image;
  int command;
};
constexpr ToolbarButton kToolbar[] = {
    {0, cmd::kTbConnect},
    {1, cmd::kImportFromPc},
    {2, cmd::kImportFromFloppy},
    {-1, 0},
    {3, cmd::kTbDelete},
    {-1, 0},
    {4, cmd::kTbEditInfo},
    {6, cmd::kTbPlaylist},
    {-1, 0},
    {7, cmd::kTbPlay},
    {8, cmd::kTbStop},
    {-1, 0},
    {9, cmd::kTbToCard},
    {10, cmd::kTbFromCard},
    {11, cmd::kTbSearch},
    {-1, 0},
    {12, cmd::kWww},
    {-1, 0},
    {13, cmd::kUpdateFirmware},
    {-1, 0},
    {14, cmd::kPrint},
};

// The status bar's pane edges: 100, 250, 400, 600 and 750 pixels, the last pane to the right edge.
constexpr int kPaneWidths[] = {100, 150, 150, 200, 150};
constexpr int kPaneCount = 6;

// What a screen reader calls the two lists and the toolbar; not in the message table.
const char* const kLibraryListName[kLanguageCount] = {"Canzoni sul computer", "Songs on the computer",
                                                      "Chansons sur l'ordinateur", "Lieder auf dem Computer",
                                                      "Canciones en el ordenador"};
const char* const kCardListName[kLanguageCount] = {"Canzoni sulla Compact Flash", "Songs on the Compact Flash",
                                                   "Chansons sur la Compact Flash",
                                                   "Lieder auf der Compact Flash",
                                                   "Canciones en la Compact Flash"};
const char* const kToolbarName[kLanguageCount] = {"Barra degli strumenti", "Toolbar", "Barre d'outils",
                                                  "Werkzeugleiste", "Barra de herramientas"};

// Steps of the comparison's progress run: one step per item would pump the event loop 32,768 times.
constexpr std::uint32_t kCompareStep = 2048;

}  // namespace

void MainDlg::SetCommandsResting(bool resting) {
  menuBar()->setEnabled(!resting);
  if (toolbar_ != nullptr) toolbar_->setEnabled(!resting);
}

MainDlg::MainDlg(Session& session, QtUi& ui, Options options, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      ui_(ui),
      options_(options),
      card_(session),
      playback_(std::make_unique<SongPlayback>(session)) {
  setObjectName("MainDlg");
  setWindowTitle(QStringLiteral("Sondesk"));
  setWindowIcon(AppIcon());
  ui_.SetOwner(this);
  ui_.SetSession(&session_);
  ui_.SetStatusSink([this](int pane, const QString& text) { SetPane(pane, text); });
  setAcceptDrops(true);

  // A configured card drive that is not a removable drive is not used in this run (the settings
  // file keeps it). Where the settings allow every drive, any mounted folder will do.
  SetAsideFixedCardDrive(session_.settings());

  probe_ = new DriveProbe(this);
  connect(probe_, &DriveProbe::Answered, this,
          [this](const QString& drive, qint64 free) { ApplyDriveProbe(PathStd(drive), free); });

  BuildStatusBar();
  BuildLists();
  BuildToolbar();
  BuildMenus();
  ApplyColumnWidths();
  RefreshLists();
  UpdateToolbarState();

  pollTimer_.setInterval(options_.pollPeriodMs);
  connect(&pollTimer_, &QTimer::timeout, this, &MainDlg::StatusPoll);
  firstRunTimer_.setSingleShot(true);
  connect(&firstRunTimer_, &QTimer::timeout, this, &MainDlg::FirstRunStep);
  if (options_.timers) {
    pollTimer_.start();
    firstRunTimer_.start(options_.firstRunDelayMs);
  }
}

MainDlg::~MainDlg() {
  playback_->StopSong();
  ui_.SetStatusSink({});
}

int MainDlg::Language() const {
  const int l = session_.messages().language();
  return (l >= 0 && l < kLanguageCount) ? l : 1;
}

// ---------------------------------------------------------------------------------------------
// Building the window

void MainDlg::BuildLists() {
  auto makeView = [this](const char* name, SongListModel* model) {
    auto* v = new QTreeView(this);
    v->setObjectName(name);
    v->setModel(model);
    v->setRootIsDecorated(false);
    v->setUniformRowHeights(true);
    v->setItemsExpandable(false);
    v->setAllColumnsShowFocus(true);
    v->setAlternatingRowColors(true);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setSortingEnabled(false);
    v->setIconSize(QSize(12, 12));
    v->setContextMenuPolicy(Qt::DefaultContextMenu);
    v->header()->setSectionsClickable(true);
    v->header()->setSortIndicatorShown(true);
    v->header()->setStretchLastSection(true);
    v->header()->setSectionsMovable(false);
    v->installEventFilter(this);
    return v;
  };
  libraryModel_ = new SongListModel(session_.library, this);
  cardModel_ = new SongListModel(session_.card, this);
  for (SongListModel* m : {libraryModel_, cardModel_}) {
    m->SetIcons(SongListIcon(0), SongListIcon(4));
    m->SetHeadings({Msg(session_, 90), Msg(session_, 91), Msg(session_, 92), Msg(session_, 93)});
  }
  libraryView_ = makeView("libraryList", libraryModel_);
  cardView_ = makeView("cardList", cardModel_);
  libraryView_->setAccessibleName(QString::fromUtf8(kLibraryListName[Language()]));
  cardView_->setAccessibleName(QString::fromUtf8(kCardListName[Language()]));
  warning_ = new CardWarningOverlay(cardView_->viewport());
  QStringList lines;
  for (int n = 107; n <= 113; ++n) lines << Msg(session_, n);
  warning_->SetLines(lines);

  connect(libraryView_->header(), &QHeaderView::sectionClicked, this,
          [this](int c) { OnColumnClicked(ListSide::Library, c); });
  connect(cardView_->header(), &QHeaderView::sectionClicked, this,
          [this](int c) { OnColumnClicked(ListSide::Card, c); });
  connect(libraryView_, &QTreeView::doubleClicked, this, [this] { RunCommand(cmd::kEditInfo); });
  for (QTreeView* v : {libraryView_, cardView_}) {
    connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateToolbarState(); });
  }
  // A model reset makes new selection models in no view, but a view keeps its own; reconnect
  // nothing. The header's indicator follows the sort state.
  auto strip = [](const QString& path, QSize size, const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFixedSize(size);
    l->setPixmap(SvgPixmap(path, size, parent->devicePixelRatioF()));
    return l;
  };

  auto* central = new QWidget(this);
  auto* grid = new QGridLayout(central);
  grid->setContentsMargins(2, 2, 2, 2);
  grid->setHorizontalSpacing(2);
  grid->setVerticalSpacing(4);
  grid->addWidget(strip(QStringLiteral("splash/strip-hd.svg"), QSize(24, 128), "SONHD_VERT", central), 0, 0,
                  Qt::AlignTop);
  grid->addWidget(libraryView_, 0, 1);
  grid->addWidget(strip(QStringLiteral("splash/strip-flash.svg"), QSize(24, 146), "SONFLASH_VERT", central),
                  1, 0, Qt::AlignTop);
  grid->addWidget(cardView_, 1, 1);
  grid->setRowStretch(0, 1);
  grid->setRowStretch(1, 1);
  grid->setColumnMinimumWidth(0, 24);
  grid->setColumnStretch(1, 1);
  setCentralWidget(central);
}

void MainDlg::BuildToolbar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName("toolbar");
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(24, 24));
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar_->setAccessibleName(QString::fromUtf8(kToolbarName[Language()]));
  addToolBar(Qt::TopToolBarArea, toolbar_);
  int position = 0;
  for (const ToolbarButton& b : kToolbar) {
    if (b.command == 0) {
      toolbar_->addSeparator();
    } else {
      auto* a = new QAction(ToolbarImage(b.image), Literal(Msg(session_, 137 + position)), this);
      a->setObjectName(QStringLiteral("tb_%1").arg(b.command));
      const QString tip = position < 26 ? Msg(session_, 163 + position) : QString();
      a->setToolTip(tip);
      connect(a, &QAction::triggered, this, [this, id = b.command] { RunCommand(id); });
      toolbar_->addAction(a);
      if (QWidget* w = toolbar_->widgetForAction(a)) {
        w->setObjectName(QStringLiteral("tbButton_%1").arg(b.command));
        // The button's short word ("to card") says little without its picture; the tip says it all.
        w->setAccessibleName(a->text().remove(QLatin1Char('&')));
        if (!tip.isEmpty()) w->setAccessibleDescription(tip);
        w->setMinimumWidth(52);
      }
      toolbarActions_.insert(b.command, a);
    }
    ++position;
  }
}

namespace {
// The desktop's own keys where it has one for the command, so the program answers the keys the
// user's other programs answer.
QKeySequence::StandardKey StandardKeyOf(int command) {
  switch (command) {
    case cmd::kPrint:
      return QKeySequence::Print;
    case cmd::kSaveDatabase:
      return QKeySequence::Save;
    case cmd::kImportFromPc:
      return QKeySequence::Open;
    case cmd::kExit:
      return QKeySequence::Quit;
    case cmd::kFind:
      return QKeySequence::Find;
    case cmd::kConnect:
      return QKeySequence::Refresh;
    case cmd::kProgramSettings:
      return QKeySequence::Preferences;
    default:
      return QKeySequence::UnknownKey;
  }
}
}  // namespace

void MainDlg::BuildMenus() {
  const int lang = Language();
  for (const MenuText5& menu : MainMenus()) {
    QMenu* m = menuBar()->addMenu(QString::fromUtf8(menu.title[static_cast<std::size_t>(lang)]));
    m->setToolTipsVisible(true);
    for (const MenuItemText& item : menu.items) {
      if (item.command == 0) {
        m->addSeparator();
        continue;
      }
      QAction* a = m->addAction(QString::fromUtf8(item.text[static_cast<std::size_t>(lang)]));
      a->setObjectName(QStringLiteral("menu_%1").arg(item.command));
      const QKeySequence::StandardKey standard = StandardKeyOf(item.command);
      if (standard != QKeySequence::UnknownKey && !QKeySequence::keyBindings(standard).isEmpty()) {
        a->setShortcuts(standard);
        a->setShortcutContext(Qt::WindowShortcut);
      } else if (item.shortcut[0] != '\0') {
        a->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
        a->setShortcutContext(Qt::WindowShortcut);
      }
      if (item.command == cmd::kImportFromInternet) a->setEnabled(false);
      connect(a, &QAction::triggered, this, [this, id = item.command] { RunCommand(id); });
      menuActions_.insert(item.command, a);
    }
  }
}

void MainDlg::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("statusBar");
  bar->setSizeGripEnabled(true);
  for (int i = 0; i < kPaneCount; ++i) {
    auto* l = new QLabel(bar);
    l->setObjectName(QStringLiteral("pane%1").arg(i));
    l->setContentsMargins(6, 0, 6, 0);
    if (i < kPaneCount - 1) {
      l->setMinimumWidth(kPaneWidths[i]);
      bar->addWidget(l, 0);
    } else {
      bar->addWidget(l, 1);
    }
    panes_.push_back(l);
  }
  SetPane(0, Q(LinkModeStatusText(session_.linkMode)));
  SetPane(3, QStringLiteral("Created"));
}

void MainDlg::SetPane(int pane, const QString& text) {
  if (pane < 0 || pane >= static_cast<int>(panes_.size())) return;
  QLabel* l = panes_[static_cast<std::size_t>(pane)];
  l->setText(text);
  if (pane < kPaneCount - 1) {
    // A pane grows with a longer text (another language, a larger font) rather than cut it.
    const int need = l->fontMetrics().horizontalAdvance(text) + 14;
    l->setMinimumWidth(std::max(kPaneWidths[pane], need));
  }
}

QString MainDlg::paneText(int pane) const {
  if (pane < 0 || pane >= static_cast<int>(panes_.size())) return {};
  return panes_[static_cast<std::size_t>(pane)]->text();
}

void MainDlg::ApplyColumnWidths() {
  const ColumnWidths lib = RepairWidths(session_.settings().list1Width);
  const ColumnWidths crd = RepairWidths(session_.settings().list2Width);
  for (int i = 0; i < kSongColumns; ++i) {
    libraryView_->header()->resizeSection(i, lib[static_cast<std::size_t>(i)]);
    cardView_->header()->resizeSection(i, crd[static_cast<std::size_t>(i)]);
  }
}

void MainDlg::PlaceWindow() {
  const Settings& s = session_.settings();
  QRect r(s.left, s.top, s.width, s.height);
  QScreen* screen = QGuiApplication::screenAt(r.center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect avail = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  // Never placed before (the defaults) or off every screen: a size that shows the toolbar whole,
  // in the middle of the screen.
  const bool untouched = s.left == 0 && s.top == 0 && s.width == 640 && s.height == 480;
  if (untouched || QGuiApplication::screenAt(r.center()) == nullptr) {
    r.setSize(QSize(std::min(1040, avail.width()), std::min(720, avail.height())));
    r.moveCenter(avail.center());
  }
  const int minWidth = std::min(toolbar_->sizeHint().width() + 8, avail.width());
  if (r.width() < minWidth) r.setWidth(minWidth);
  setMinimumWidth(std::min(minWidth, avail.width()));
  resize(r.size());
  move(r.topLeft());
}

void MainDlg::showEvent(QShowEvent* event) {
  if (!placed_) {
    placed_ = true;
    PlaceWindow();
    if (options_.splash) {
      auto* splash = new SplashWindow(3000);
      splash->show();
    }
  }
  QMainWindow::showEvent(event);
}

void MainDlg::SaveLayout() {
  Settings& s = session_.settings();
  auto widths = [](QTreeView* v) {
    ColumnWidths w{};
    for (int i = 0; i < kSongColumns; ++i) w[static_cast<std::size_t>(i)] = v->header()->sectionSize(i);
    return Settings::WidthsForSaving(w);
  };
  s.WriteWidths("List1_Width", widths(libraryView_));
  s.WriteWidths("List2_Width", widths(cardView_));
  const QRect g = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  s.WriteInt("Settings", "Left", g.left());
  s.WriteInt("Settings", "Top", g.top());
  s.WriteInt("Settings", "Width", g.width());
  s.WriteInt("Settings", "Height", g.height());
}

// ---------------------------------------------------------------------------------------------
// The lists

QTreeView* MainDlg::view(ListSide side) const {
  return side == ListSide::Library ? libraryView_ : cardView_;
}
SongListModel* MainDlg::model(ListSide side) const {
  return side == ListSide::Library ? libraryModel_ : cardModel_;
}

std::vector<std::size_t> MainDlg::SelectedEntries(ListSide side) const {
  QTreeView* v = view(side);
  SongListModel* m = model(side);
  std::vector<int> rows;
  for (const QModelIndex& i : v->selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  std::vector<std::size_t> out;
  out.reserve(rows.size());
  for (int r : rows) {
    const int e = m->EntryAt(r);
    if (e >= 0) out.push_back(static_cast<std::size_t>(e));
  }
  return out;
}

void MainDlg::SelectEntries(ListSide side, const std::vector<std::size_t>& entries) {
  QTreeView* v = view(side);
  SongListModel* m = model(side);
  QItemSelection sel;
  QModelIndex first;
  for (std::size_t e : entries) {
    const int r = m->RowOf(static_cast<int>(e));
    if (r < 0) continue;
    const QModelIndex i = m->index(r, 0);
    if (!first.isValid()) first = i;
    sel.select(i, m->index(r, kSongColumns - 1));
  }
  v->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
  if (first.isValid()) {
    v->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    v->scrollTo(first);
  }
}

void MainDlg::RefreshLists() {
  BusyScope busy(*this);
  const bool cardShown = session_.linkMode != LinkMode::NoCard;
  libraryModel_->Refill(true);
  cardModel_->Refill(cardShown);

  // Songs are on both lists only as the lists show them: a card that cannot be reached shows none.
  if (cardShown) {
    CompareLibraryAndCard(session_.library, session_.card);
  } else {
    SongList none;
    CompareLibraryAndCard(session_.library, none);
  }
  Progress& p = session_.progress();
  const std::uint32_t total = static_cast<std::uint32_t>(libraryModel_->rowCount() + cardModel_->rowCount());
  p.ProgressStart(total);
  p.ProgressSetLine1(session_.Text(259));
  for (std::uint32_t done = 0; done < total; done += kCompareStep)
    p.ProgressStep(std::min(kCompareStep, total - done));
  p.ProgressEnd();
  // The icons of the rows now on screen.
  for (SongListModel* m : {libraryModel_, cardModel_}) {
    if (m->rowCount() > 0)
      Q_EMIT m->dataChanged(m->index(0, 0), m->index(m->rowCount() - 1, 0), {Qt::DecorationRole});
  }

  SetPane(1, Q(FormatText(session_.Text(5), static_cast<int>(session_.library.size()))));
  SetPane(2, Q(FormatText(session_.Text(6), static_cast<int>(cardShown ? session_.card.size() : 0))));
  for (ListSide side : {ListSide::Library, ListSide::Card}) {
    const SortState& st = model(side)->sortState();
    if (st.column >= 0 && st.column < kSongColumns) {
      view(side)->header()->setSortIndicator(st.column,
                                             st.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
  }
  UpdateToolbarState();
}

void MainDlg::OnColumnClicked(ListSide side, int column) {
  SongListModel* m = model(side);
  m->sortState().Click(column);
  m->Sort();
  const SortState& st = m->sortState();
  view(side)->header()->setSortIndicator(st.column, st.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MainDlg::UpdateToolbarState() {
  if (toolbar_ == nullptr) return;
  const std::size_t n = static_cast<std::size_t>(libraryView_->selectionModel()->selectedRows().size());
  const std::size_t onCard = static_cast<std::size_t>(cardView_->selectionModel()->selectedRows().size());
  // The card counts as reachable from the connection state, which the poll keeps current; asking
  // the drive itself on every selection change would make the window wait on it.
  const bool reachable = session_.linkMode != LinkMode::NoCard;
  auto set = [this](int id, bool on) {
    if (QAction* a = toolbarActions_.value(id)) {
      a->setEnabled(on);
    }
  };
  set(cmd::kTbEditInfo, n == 1);
  // A card song plays too (from a copy) when no library song is chosen.
  set(cmd::kTbPlay, n == 1 || (n == 0 && onCard == 1 && reachable));
  set(cmd::kTbStop, playback_->playing());
  set(cmd::kTbToCard, n >= 1 && reachable);
  set(cmd::kTbFromCard, onCard >= 1);
  set(cmd::kTbPlaylist, reachable);
  // No site configured: no placeholder address to send anyone to.
  set(cmd::kWww, !session_.settings().deviceUrl.empty());
}

QAction* MainDlg::toolbarAction(int toolbarId) const {
  return toolbarActions_.value(toolbarId);
}
QAction* MainDlg::menuAction(int command) const {
  return menuActions_.value(command);
}

bool MainDlg::cardWarningVisible() const {
  return warning_->isVisible();
}

void MainDlg::UpdateCardWarning() {
  const bool shown = session_.linkMode == LinkMode::NoCard && session_.startupFinished;
  const bool changed = shown != warning_->isVisible();
  warning_->setVisible(shown);
  if (shown) warning_->update();
  // The lines are painted, so a screen reader would not see them: the card list says them as its
  // description, and their appearing is announced.
  cardView_->setAccessibleDescription(shown ? warning_->Text() : QString());
  if (changed && shown) warning_->Announce();
}

// ---------------------------------------------------------------------------------------------
// Timers

void MainDlg::StatusPoll() {
  if (pollSkip_ > 0) {
    --pollSkip_;
    return;
  }
  // 1. Selected objects of the list with the focus, or of the other one when it has none.
  if (libraryView_->hasFocus()) lastFocused_ = ListSide::Library;
  if (cardView_->hasFocus()) lastFocused_ = ListSide::Card;
  const int lib = static_cast<int>(libraryView_->selectionModel()->selectedRows().size());
  const int crd = static_cast<int>(cardView_->selectionModel()->selectedRows().size());
  int shown = lastFocused_ == ListSide::Library ? lib : crd;
  if (shown == 0) shown = lastFocused_ == ListSide::Library ? crd : lib;
  SetPane(4, QStringLiteral("Selected Objects=%1").arg(shown));

  // 2. The playlist button follows the card.
  UpdateToolbarState();

  // 5. The warning over the card list.
  UpdateCardWarning();

  // A command under way owns the connection; its end refreshes what changed.
  if (busy_ > 0) return;

  // 3. The card drive, asked away from the window's thread.
  if (session_.linkMode != LinkMode::Player) {
    const std::string drive = session_.settings().flashDrive;
    const bool configured = !drive.empty() && drive != kNoDrive;
    if (configured && session_.driveReady) {
      probe_->Request(drive);
    } else {
      ApplyDriveProbe(drive, -1);
    }
  }

  // 4. The player gone while connected.
  if (session_.linkMode == LinkMode::Player && card_.DeviceLost()) {
    session_.card.clear();
    SetPane(0, Q(LinkModeStatusText(LinkMode::NoCard)));
    session_.linkMode = LinkMode::NoCard;
    card_.Release();
    RefreshLists();
    UpdateCardWarning();
  }
}

void MainDlg::ApplyDriveProbe(const std::string& drive, long long freeBytes) {
  if (busy_ > 0 || session_.linkMode == LinkMode::Player) return;
  if (drive != session_.settings().flashDrive) return;  // the drive changed meanwhile
  if (freeBytes >= 0) {
    if (session_.linkMode != LinkMode::CardReader) {
      session_.linkMode = LinkMode::CardReader;
      ShowFreeSpace();
      SetPane(0, PathQ(drive));
      // A card that appears is read: the list in memory may belong to the card seen before.
      ReadCardList();
      RefreshLists();
    }
  } else {
    const bool configured = !drive.empty() && drive != kNoDrive;
    if (configured) session_.driveReady = false;
    if (session_.linkMode != LinkMode::NoCard) {
      session_.linkMode = LinkMode::NoCard;
      SetPane(0, Q(LinkModeStatusText(LinkMode::NoCard)));
      SetPane(3, Q(LinkModeStatusText(LinkMode::NoCard)));
      RefreshLists();
    }
  }
  UpdateCardWarning();
}

void MainDlg::FirstRunStep() {
  firstRunTimer_.stop();
  if (busy_ > 0) {
    // Asked again once the command under way has ended.
    firstRunTimer_.start(200);
    return;
  }
  BusyScope busy(*this);
  session_.driveReady = true;
  const BoxAnswer a = session_.ShowBox(session_.Text(124), 22, BoxIcon::Question, BoxButtons::YesNo);
  if (a != BoxAnswer::Yes) {
    if (card_.playerOpen()) card_.Release();
    session_.linkMode = session_.CardDriveUsable() ? LinkMode::CardReader : LinkMode::NoCard;
    SetPane(0, Q(LinkModeStatusText(session_.linkMode)));
  } else {
    session_.linkMode = LinkMode::Player;
    session_.BusyCursorOn();
    std::string error;
    bool connected = card_.OpenPlayer("", "", error);
    // A port that cannot be opened is told; a card the user chose not to mount has been told.
    if (!connected) session_.ShowStopBox(error);
    if (connected && !card_.MountPlayer(error)) {
      card_.Release();
      connected = false;
    }
    session_.BusyCursorOff();
    if (connected) {
      SetPane(0, Q(LinkModeStatusText(LinkMode::Player)));
    } else {
      // Working off-line: the library is still read and shown below.
      session_.card.clear();
      SetPane(0, Q(LinkModeStatusText(LinkMode::NoCard)));
      session_.linkMode = LinkMode::NoCard;
    }
  }
  session_.startupFinished = true;
  ShowFreeSpace();
  // The question names a site to visit: with none configured there is nothing to offer.
  const std::string& site = session_.settings().deviceUrl;
  if (session_.settings().askInternet == 1 && !site.empty()) {
    if (session_.ShowBox(session_.Text(17), 101, BoxIcon::Question, BoxButtons::OkCancel) == BoxAnswer::Ok) {
      ui_.OpenExternal(site);
    }
  }
  ReadLibraryList();
  ReadCardList();
  RefreshLists();
  setWindowTitle(QStringLiteral("Sondesk"));
  UpdateCardWarning();
  if (onStartupFinished) {
    auto once = std::move(onStartupFinished);
    onStartupFinished = nullptr;
    once();
  }
}

void MainDlg::ReadLibraryList() {
  ReadLibrary(session_);
}

void MainDlg::ReadCardList() {
  if (session_.linkMode == LinkMode::NoCard && !session_.CardDriveUsable()) {
    session_.card.clear();
    return;
  }
  if (Catalogue* c = card_.CatalogueNow()) {
    LoadCardCatalogue(*c);
  } else {
    session_.card.clear();
  }
}

void MainDlg::ShowFreeSpace() {
  if (session_.linkMode == LinkMode::Player) {
    // The player reports its card's space in its own words.
    card_.ShowFreeSpace();
    return;
  }
  if (session_.CardDriveUsable()) {
    const long long free = session_.CardDriveFreeBytes();
    SetPane(3, Q(FormatText(session_.Text(115), static_cast<double>(free / 1024) * (1.0 / 1024.0))));
  } else {
    SetPane(3, Msg(session_, 114));
  }
}

// ---------------------------------------------------------------------------------------------
// Events

bool MainDlg::eventFilter(QObject* watched, QEvent* event) {
  const bool library = watched == libraryView_;
  const bool cardList = watched == cardView_;
  if ((library || cardList) && event->type() == QEvent::FocusIn) {
    lastFocused_ = library ? ListSide::Library : ListSide::Card;
  }
  if ((library || cardList) && event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Delete && k->modifiers() == Qt::NoModifier) {
      OnDeleteKey(library ? ListSide::Library : ListSide::Card);
      return true;
    }
    if (library && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
        k->modifiers() == Qt::NoModifier) {
      RunCommand(cmd::kEditInfo);
      return true;
    }
  }
  if ((library || cardList) && event->type() == QEvent::ContextMenu) {
    auto* c = static_cast<QContextMenuEvent*>(event);
    QMenu menu(this);
    const std::vector<int> ids =
        library ? std::vector<int>{cmd::kEditInfo, cmd::kPlay, cmd::kTransferToCard, 0, cmd::kDeleteSong}
                : std::vector<int>{cmd::kTransferFromCard, 0, cmd::kDeleteSong};
    for (int id : ids) {
      if (id == 0) {
        menu.addSeparator();
      } else if (QAction* a = menuActions_.value(id)) {
        menu.addAction(a);
      }
    }
    // The lyric pages of the song, read without sound.
    static const char* const kPages[kLanguageCount] = {"Pagine di testo...", "Lyric pages...", "Pages de paroles...",
                                                       "Textseiten...", "Páginas de letra..."};
    menu.addSeparator();
    QAction* pages = menu.addAction(QString::fromUtf8(kPages[Language()]));
    pages->setObjectName("lyricPages");
    connect(pages, &QAction::triggered, this, [this] { ShowLyricPages(); });
    menu.exec(c->globalPos());
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainDlg::OnDeleteKey(ListSide side) {
  if (busy_ > 0) return;
  if (side == ListSide::Library) {
    BusyScope busy(*this);
    CmdDeleteLibrarySongs();
  } else {
    BusyScope busy(*this);
    CmdDeleteCardSongs();
  }
}

void MainDlg::closeEvent(QCloseEvent* event) {
  if (busy_ > 0) {
    // The operation under way runs to its end; closing then would leave the card half written.
    event->ignore();
    return;
  }
  closing_ = true;
  playback_->StopSong();
  pollTimer_.stop();
  firstRunTimer_.stop();
  card_.Release();
  SaveLayout();
  event->accept();
}

void MainDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (busy_ == 0 && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDlg::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& u : event->mimeData()->urls()) {
    if (u.isLocalFile()) paths.push_back(PathStd(u.toLocalFile()));
  }
  event->acceptProposedAction();
  if (!paths.empty()) ImportFiles(paths);
}

}  // namespace sondesk
