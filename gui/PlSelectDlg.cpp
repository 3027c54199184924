#include "gui/PlSelectDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "catalogue/Catalogue.h"
#include "catalogue/Playlists.h"
#include "gui/PlayListDlg.h"
#include "gui/Text.h"

namespace sondesk {

namespace {
constexpr int kSlotRole = Qt::UserRole + 1;
}  // namespace

PlSelectDlg::PlSelectDlg(Catalogue& catalogue, QWidget* parent) : QDialog(parent), cat_(catalogue) {
  Session& s = cat_.session();
  setObjectName("PlSelectDlg");
  setWindowTitle(Msg(s, 225));

  list_ = new QTreeWidget(this);
  list_->setObjectName("playlists");
  list_->setColumnCount(2);
  list_->setHeaderLabels({Msg(s, 88), Msg(s, 89)});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  // Names are edited only through Rename (and right after New); a double click opens.
  list_->setEditTriggers(QAbstractItemView::EditKeyPressed);
  list_->header()->setStretchLastSection(false);
  list_->header()->resizeSection(0, 300);
  list_->header()->resizeSection(1, 70);
  // Both columns and the sixteen playlists in view without scrolling.
  list_->setMinimumWidth(300 + 70 + list_->verticalScrollBar()->sizeHint().width() + 2 * list_->frameWidth() + 2);
  list_->setMinimumHeight(17 * (list_->fontMetrics().height() + 4) + 2 * list_->frameWidth());
  list_->setAccessibleName(Msg(s, 225));
  list_->installEventFilter(this);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OnOpen(); });
  connect(list_, &QTreeWidget::itemChanged, this, &PlSelectDlg::OnItemChanged);

  auto* buttons = new QVBoxLayout;
  auto button = [&](const char* name, int message, void (PlSelectDlg::*slot)()) {
    auto* b = new QPushButton(Literal(Msg(s, message)), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
    return b;
  };
  button("new", 220, &PlSelectDlg::OnNew);
  button("open", 221, &PlSelectDlg::OnOpen)->setDefault(true);
  button("rename", 222, &PlSelectDlg::OnRename);
  button("delete", 223, &PlSelectDlg::OnDelete);
  buttons->addStretch(1);
  auto* exitButton = new QPushButton(Literal(Msg(s, 224)), this);
  exitButton->setObjectName("exit");
  exitButton->setAutoDefault(false);
  connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(exitButton);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);

  Refill();
}

void PlSelectDlg::Refill() {
  ReadPlaylistIndex(cat_);
  const PlaylistTable& t = cat_.playlists;
  filling_ = true;
  list_->clear();
  for (std::size_t i = 0; i < t.usedCount; ++i) {
    const PlaylistSlot& slot = t.slots[i];
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, Q(slot.displayName));
    item->setText(1, slot.songCount < 0 ? QString() : QString::number(slot.songCount));
    item->setData(0, kSlotRole, static_cast<int>(i));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
  }
  filling_ = false;
}

int PlSelectDlg::SelectedSlot() const {
  const QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || !item->isSelected()) return -1;
  return item->data(0, kSlotRole).toInt();
}

void PlSelectDlg::OnNew() {
  const int slot = NewPlaylist(cat_);
  if (slot < 0) return;
  Refill();
  for (int r = 0; r < list_->topLevelItemCount(); ++r) {
    QTreeWidgetItem* item = list_->topLevelItem(r);
    if (item->data(0, kSlotRole).toInt() == slot) {
      list_->setCurrentItem(item);
      cat_.playlists.current = slot;
      list_->editItem(item, 0);
      break;
    }
  }
}

void PlSelectDlg::OnOpen() {
  const int slot = SelectedSlot();
  if (slot < 0) return;
  cat_.playlists.current = slot;
  {
    PlayListDlg editor(cat_, slot, this);
    if (onEditorOpen) {
      editor.show();
      onEditorOpen(editor);
      editor.close();
    } else {
      editor.exec();
    }
  }
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  Refill();
  if (row >= 0 && row < list_->topLevelItemCount()) list_->setCurrentItem(list_->topLevelItem(row));
}

void PlSelectDlg::OnRename() {
  QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || SelectedSlot() < 0) return;
  cat_.playlists.current = SelectedSlot();
  list_->editItem(item, 0);
}

void PlSelectDlg::OnDelete() {
  const int slot = SelectedSlot();
  if (slot < 0) return;
  if (DeletePlaylist(cat_, slot) == 1) Refill();
}

void PlSelectDlg::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (filling_ || column != 0) return;
  const int slot = item->data(0, kSlotRole).toInt();
  const std::string text = ToCp1252(item->text(0));
  RenamePlaylist(cat_, slot, text);
  // An edit ended without text changes nothing; a long one shows what was kept.
  filling_ = true;
  item->setText(0, Q(cat_.playlists.slots[static_cast<std::size_t>(slot)].displayName));
  filling_ = false;
}

bool PlSelectDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    OnDelete();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace sondesk
