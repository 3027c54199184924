#include "gui/PlayListDlg.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "catalogue/Catalogue.h"
#include "gui/Artwork.h"
#include "gui/SongListModel.h"
#include "gui/Text.h"

namespace sondesk {

namespace {
// The playlist's own background, so it is never taken for the card's list above it.
const QColor kPlaylistBackground(224, 240, 255);
constexpr int kPaneEdges[] = {100, 250, 400, 600};
// The lower list shows the playlist's order: no column sorts it.
constexpr int kNoSortColumn = 99;
}  // namespace

PlayListDlg::PlayListDlg(Catalogue& catalogue, int slot, QWidget* parent)
    : QDialog(parent), cat_(catalogue), slot_(slot) {
  Session& s = cat_.session();
  setObjectName("PlayListDlg");
  const PlaylistSlot& ps = cat_.playlists.slots[static_cast<std::size_t>(slot_)];
  setWindowTitle(Q(FormatText(s.Text(56), ps.displayName.c_str())));
  setSizeGripEnabled(true);

  LoadPlaylist(cat_, ps.baseName, edit_);

  BuildToolbar();
  BuildLists();
  BuildStatusBar();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(toolbar_);
  auto* lists = new QVBoxLayout;
  lists->setContentsMargins(2, 0, 2, 0);
  lists->setSpacing(4);
  lists->addWidget(upper_, 1);
  lists->addWidget(lower_, 1);
  layout->addLayout(lists, 1);
  layout->addWidget(panes_.front()->parentWidget());

  for (std::size_t i = 0; i < edit_.songs.size(); ++i) shown_.push_back(edit_.songs[i]);
  lowerModel_->Refill();
  upperModel_->Refill();
  panes_[0]->setText(QString::fromLatin1(cat_.linkMode() ? "SONVAR-PP" : "CF-Drive"));
  panes_[1]->setText(Q(FormatText(s.Text(6), static_cast<int>(s.card.size()))));
  panes_[2]->setText(Q(FormatText(s.Text(7), static_cast<int>(edit_.songs.size()))));

  scrollTimer_.setInterval(100);
  connect(&scrollTimer_, &QTimer::timeout, this, &PlayListDlg::AutoScroll);
  PlaceWindow();
}

PlayListDlg::~PlayListDlg() {
  if (!saved_) SaveLayout();
}

void PlayListDlg::BuildToolbar() {
  Session& s = cat_.session();
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName("playlistToolbar");
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(22, 22));
  auto add = [&](const char* name, int text, int tip, int image, void (PlayListDlg::*slot)()) {
    auto* a = new QAction(ToolbarImage(image), Literal(Msg(s, text)), this);
    a->setObjectName(name);
    a->setToolTip(Msg(s, tip));
    connect(a, &QAction::triggered, this, slot);
    toolbar_->addAction(a);
    return a;
  };
  add("delete", 133, 95, 3, &PlayListDlg::DeleteSelected);
  toolbar_->addSeparator();
  add("beginning", 135, 96, 9, &PlayListDlg::AddAtBeginning);
  add("end", 136, 97, 9, &PlayListDlg::AddAtEnd);
}

void PlayListDlg::BuildLists() {
  Session& s = cat_.session();
  QStringList headings;
  for (int m = 90; m < 94 && !s.Text(m).empty(); ++m) headings << Msg(s, m);
  auto makeView = [&](const char* name, SongListModel* model) {
    auto* v = new QTreeView(this);
    v->setObjectName(name);
    v->setModel(model);
    v->setRootIsDecorated(false);
    v->setUniformRowHeights(true);
    v->setItemsExpandable(false);
    v->setAllColumnsShowFocus(true);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->header()->setStretchLastSection(false);
    v->viewport()->installEventFilter(this);
    v->installEventFilter(this);
    return v;
  };
  upperModel_ = new SongListModel(s.card, this);
  upperModel_->SetHeadings(headings);
  lowerModel_ = new SongListModel(shown_, this);
  lowerModel_->SetHeadings(headings);
  lowerModel_->sortState().column = kNoSortColumn;
  upper_ = makeView("cardSongs", upperModel_);
  lower_ = makeView("playlistSongs", lowerModel_);
  upper_->setAccessibleName(Msg(s, 6).section(QLatin1Char(':'), 0, 0));
  lower_->setAccessibleName(Msg(s, 7).section(QLatin1Char(':'), 0, 0));
  QPalette pal = lower_->palette();
  pal.setColor(QPalette::Base, kPlaylistBackground);
  lower_->setPalette(pal);
  lower_->setAutoFillBackground(true);

  upper_->header()->setSectionsClickable(true);
  upper_->header()->setSortIndicatorShown(true);
  connect(upper_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    upperModel_->sortState().Click(column);
    upperModel_->Sort();
    upper_->header()->setSortIndicator(column, upperModel_->sortState().descending ? Qt::DescendingOrder
                                                                                    : Qt::AscendingOrder);
  });

  const Settings& st = s.settings();
  const ColumnWidths up = st.ReadWidths("Listpl1_Width", kDefaultColumnWidths);
  const ColumnWidths down = st.ReadWidths("Listpl2_Width", kCardColumnWidths);
  for (int i = 0; i < kSongColumns; ++i) {
    upper_->header()->resizeSection(i, up[static_cast<std::size_t>(i)]);
    lower_->header()->resizeSection(i, down[static_cast<std::size_t>(i)]);
  }

  // One pixel of red between two rows, where a drop would put the songs.
  line_ = new QWidget(lower_->viewport());
  line_->setObjectName("insertionLine");
  line_->setAutoFillBackground(true);
  // A child of the view's viewport would take the list's Base role and vanish into the list.
  line_->setBackgroundRole(QPalette::Window);
  QPalette red = line_->palette();
  red.setColor(QPalette::Window, Qt::red);
  line_->setPalette(red);
  line_->hide();
}

void PlayListDlg::BuildStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName("statusBar");
  bar->setSizeGripEnabled(false);
  int left = 0;
  for (int i = 0; i < 5; ++i) {
    auto* l = new QLabel(bar);
    l->setObjectName(QStringLiteral("pane%1").arg(i));
    l->setContentsMargins(6, 0, 6, 0);
    if (i < 4) {
      l->setFixedWidth(kPaneEdges[i] - left);
      left = kPaneEdges[i];
      bar->addWidget(l);
    } else {
      bar->addWidget(l, 1);
    }
    panes_.push_back(l);
  }
}

QAction* PlayListDlg::action(const char* name) const {
  return findChild<QAction*>(QString::fromLatin1(name));
}

QString PlayListDlg::paneText(int pane) const {
  return pane >= 0 && pane < static_cast<int>(panes_.size()) ? panes_[static_cast<std::size_t>(pane)]->text()
                                                              : QString();
}

void PlayListDlg::PlaceWindow() {
  const Settings& s = cat_.session().settings();
  QRect r(s.leftPl, s.topPl, s.widthPl, s.heightPl);
  // A rectangle on no screen (another monitor, since unplugged) would open the editor out of sight.
  if (QGuiApplication::screenAt(r.center()) == nullptr) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) r.moveCenter(screen->availableGeometry().center());
  }
  resize(r.size());
  move(r.topLeft());
}

void PlayListDlg::SaveLayout() {
  saved_ = true;
  Settings& s = cat_.session().settings();
  auto widths = [](QTreeView* v) {
    ColumnWidths w{};
    for (int i = 0; i < static_cast<int>(w.size()); ++i) {
      w[static_cast<std::size_t>(i)] = i < v->header()->count() ? v->header()->sectionSize(i) : 0;
    }
    return Settings::WidthsForSaving(w);
  };
  const ColumnWidths up = widths(upper_);
  const ColumnWidths down = widths(lower_);
  const QRect g = geometry();
  s.WriteInt("Settings", "LeftPl", g.left());
  s.WriteInt("Settings", "TopPl", g.top());
  s.WriteInt("Settings", "WidthPl", g.width());
  s.WriteInt("Settings", "HeightPl", g.height());
  s.WriteWidths("Listpl1_Width", up);
  s.WriteWidths("Listpl2_Width", down);
}

void PlayListDlg::done(int result) {
  if (!saved_) SaveLayout();
  QDialog::done(result);
}

void PlayListDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  line_->setFixedWidth(lower_->viewport()->width());
}

// --- Changes ----------------------------------------------------------------------------------

std::vector<std::size_t> PlayListDlg::SelectedCardSongs() const {
  std::vector<int> rows;
  for (const QModelIndex& i : upper_->selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  std::vector<std::size_t> entries;
  for (int r : rows) {
    const int e = upperModel_->EntryAt(r);
    if (e >= 0) entries.push_back(static_cast<std::size_t>(e));
  }
  return entries;
}

std::vector<std::size_t> PlayListDlg::SelectedPlaylistRows() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& i : lower_->selectionModel()->selectedRows()) rows.push_back(static_cast<std::size_t>(i.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void PlayListDlg::SelectPlaylistRows(const std::vector<int>& rows) {
  QItemSelection sel;
  for (int r : rows) sel.select(lowerModel_->index(r, 0), lowerModel_->index(r, kSongColumns - 1));
  lower_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
  if (!rows.empty()) lower_->selectionModel()->setCurrentIndex(lowerModel_->index(rows.front(), 0),
                                                               QItemSelectionModel::NoUpdate);
}

void PlayListDlg::AfterChange(int scrollTo) {
  Session& s = cat_.session();
  const int offset = lower_->verticalScrollBar()->value();
  shown_.clear();
  for (const SongEntry& e : edit_.songs) shown_.push_back(e);
  lowerModel_->Refill();
  panes_[2]->setText(Q(FormatText(s.Text(54), static_cast<int>(edit_.songs.size()))));
  if (scrollTo < 0) {
    lower_->verticalScrollBar()->setValue(offset);
  } else if (scrollTo == 0) {
    lower_->scrollToTop();
  } else {
    lower_->scrollToBottom();
  }
}

void PlayListDlg::AddSelectedAt(std::size_t position) {
  const std::vector<std::size_t> songs = SelectedCardSongs();
  if (songs.empty()) return;
  if (AddSongsToPlaylist(cat_, edit_, songs, position) == 1) AfterChange(-1);
}

void PlayListDlg::AddAtBeginning() {
  const std::vector<std::size_t> songs = SelectedCardSongs();
  if (songs.empty()) return;
  if (AddSongsToPlaylist(cat_, edit_, songs, 0) == 1) AfterChange(0);
}

void PlayListDlg::AddAtEnd() {
  const std::vector<std::size_t> songs = SelectedCardSongs();
  if (songs.empty()) return;
  if (AddSongsToPlaylist(cat_, edit_, songs, edit_.songs.size()) == 1) AfterChange(1);
}

void PlayListDlg::DeleteSelected() {
  const std::vector<std::size_t> rows = SelectedPlaylistRows();
  if (rows.empty()) return;
  if (DeletePlaylistSongs(cat_, edit_, rows) == 1) AfterChange(-1);
}

// --- Dragging ---------------------------------------------------------------------------------
// The views' own drag and drop would copy rows between models; here a drop is an operation on the
// card, so the mouse is followed by hand: a press over a selected row keeps the selection, a move
// past the drag distance starts the drag, and the release over the playlist drops.

std::size_t PlayListDlg::InsertionRowAt(QPoint p) const {
  const int count = lowerModel_->rowCount();
  if (count == 0) return 0;
  const QModelIndex at = lower_->indexAt(QPoint(2, p.y()));
  if (at.isValid()) {
    const QRect r = lower_->visualRect(at);
    return static_cast<std::size_t>(p.y() > r.center().y() ? at.row() + 1 : at.row());
  }
  const QModelIndex top = lower_->indexAt(QPoint(2, 1));
  if (p.y() <= 0 && top.isValid()) return static_cast<std::size_t>(top.row());
  return static_cast<std::size_t>(count);
}

void PlayListDlg::DragMove(QPoint globalPos) {
  lastGlobal_ = globalPos;
  QWidget* vp = lower_->viewport();
  const QPoint p = vp->mapFromGlobal(globalPos);
  // Above or below the playlist the timer scrolls it; over it, the line follows the mouse.
  scrollStep_ = p.y() < 0 ? -1 : p.y() >= vp->height() ? 1 : 0;
  if (scrollStep_ != 0 && !scrollTimer_.isActive()) scrollTimer_.start();
  if (scrollStep_ == 0) scrollTimer_.stop();
  const bool inside = vp->rect().contains(p);
  if (!inside && scrollStep_ == 0) {
    line_->hide();
    return;
  }
  const std::size_t row = InsertionRowAt(QPoint(p.x(), std::clamp(p.y(), 0, vp->height() - 1)));
  const int count = lowerModel_->rowCount();
  int y = 0;
  if (count > 0) {
    y = row < static_cast<std::size_t>(count) ? lower_->visualRect(lowerModel_->index(static_cast<int>(row), 0)).top()
                                              : lower_->visualRect(lowerModel_->index(count - 1, 0)).bottom() + 1;
  }
  line_->setGeometry(0, std::clamp(y, 0, vp->height() - 1), vp->width(), 1);
  line_->show();
  line_->raise();
}

void PlayListDlg::AutoScroll() {
  if (drag_ == DragFrom::None || scrollStep_ == 0) {
    scrollTimer_.stop();
    return;
  }
  QScrollBar* bar = lower_->verticalScrollBar();
  bar->setValue(bar->value() + scrollStep_);
  DragMove(lastGlobal_);
}

void PlayListDlg::DragDrop(QPoint globalPos) {
  const DragFrom from = drag_;
  QWidget* vp = lower_->viewport();
  const QPoint p = vp->mapFromGlobal(globalPos);
  const bool overPlaylist = vp->rect().contains(p);
  const std::size_t row = InsertionRowAt(p);
  DragEnd();
  if (!overPlaylist) return;
  if (from == DragFrom::Upper) {
    AddSelectedAt(row);
  } else if (from == DragFrom::Lower) {
    const std::vector<std::size_t> rows = SelectedPlaylistRows();
    if (rows.empty()) return;
    // The row under the line is the first position of the moved songs in the new order (lowered
    // so that they fit), as the command line's `playlist move` takes it.
    const std::size_t target = row;
    if (MovePlaylistSongs(cat_, edit_, rows, target) == 1) {
      AfterChange(-1);
      const std::size_t c = edit_.songs.size();
      const std::size_t first = std::min(target, c - rows.size());
      std::vector<int> moved;
      for (std::size_t i = 0; i < rows.size(); ++i) moved.push_back(static_cast<int>(first + i));
      SelectPlaylistRows(moved);
    }
  }
}

void PlayListDlg::DragEnd() {
  drag_ = DragFrom::None;
  pressFrom_ = DragFrom::None;
  scrollTimer_.stop();
  scrollStep_ = 0;
  line_->hide();
}

bool PlayListDlg::eventFilter(QObject* watched, QEvent* event) {
  const bool onUpper = watched == upper_->viewport();
  const bool onLower = watched == lower_->viewport();
  if ((watched == lower_ || watched == upper_) && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete && watched == lower_) {
      DeleteSelected();
      return true;
    }
    if (key->key() == Qt::Key_Escape && drag_ != DragFrom::None) {
      DragEnd();
      return true;
    }
  }
  if (!onUpper && !onLower) return QDialog::eventFilter(watched, event);
  QTreeView* view = onUpper ? upper_ : lower_;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* m = static_cast<QMouseEvent*>(event);
      if (m->button() != Qt::LeftButton) break;
      const QModelIndex at = view->indexAt(m->position().toPoint());
      if (!at.isValid()) break;
      pressFrom_ = onUpper ? DragFrom::Upper : DragFrom::Lower;
      pressGlobal_ = m->globalPosition().toPoint();
      pressRow_ = at.row();
      pressOnSelected_ = view->selectionModel()->isRowSelected(at.row(), {});
      pressConsumed_ = false;
      // A plain press on a selected row keeps the selection: it may be the start of a drag.
      if (pressOnSelected_ && m->modifiers() == Qt::NoModifier) {
        pressConsumed_ = true;
        view->setFocus();
        return true;
      }
      break;
    }
    case QEvent::MouseMove: {
      auto* m = static_cast<QMouseEvent*>(event);
      if (drag_ != DragFrom::None) {
        DragMove(m->globalPosition().toPoint());
        return true;
      }
      if (pressFrom_ != DragFrom::None && (m->buttons() & Qt::LeftButton) &&
          (m->globalPosition().toPoint() - pressGlobal_).manhattanLength() >= QApplication::startDragDistance()) {
        drag_ = pressFrom_;
        DragMove(m->globalPosition().toPoint());
        return true;
      }
      break;
    }
    case QEvent::MouseButtonDblClick: {
      // A double click on a card song adds the selection at the end.
      auto* m = static_cast<QMouseEvent*>(event);
      if (onUpper && m->button() == Qt::LeftButton && view->indexAt(m->position().toPoint()).isValid()) {
        DragEnd();
        AddAtEnd();
        return true;
      }
      break;
    }
    case QEvent::MouseButtonRelease: {
      auto* m = static_cast<QMouseEvent*>(event);
      if (m->button() != Qt::LeftButton) break;
      if (drag_ != DragFrom::None) {
        const bool viewSawPress = !pressConsumed_;
        DragDrop(m->globalPosition().toPoint());
        // A view that took the press (a row not yet selected) must see its release too, or it
        // stays in its own drag-selecting state.
        if (viewSawPress) break;
        return true;
      }
      const bool kept = pressOnSelected_ && pressFrom_ != DragFrom::None;
      const DragFrom from = pressFrom_;
      DragEnd();
      // A click on a selected row without a drag: that row alone, as a list does.
      if (kept && m->modifiers() == Qt::NoModifier) {
        QTreeView* v = from == DragFrom::Upper ? upper_ : lower_;
        const QModelIndex i = v->model()->index(pressRow_, 0);
        v->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace sondesk
