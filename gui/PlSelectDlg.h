#pragma once
// The list of the card's playlists: name and song count of each, with New, Open, Rename, Delete and
// Exit. Every change goes to the card at once; opening a playlist runs its editor, after which the
// counts are read again.

#include <QDialog>
#include <functional>

class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

namespace sondesk {

class Catalogue;
class PlayListDlg;

class PlSelectDlg : public QDialog {
  Q_OBJECT
 public:
  PlSelectDlg(Catalogue& catalogue, QWidget* parent = nullptr);

  // PLAYLIST.LST again, and the list refilled from it.
  void Refill();

  void OnNew();
  void OnOpen();
  void OnRename();
  void OnDelete();

  QTreeWidget* list() const { return list_; }
  // Runs while the editor of a playlist is open (tests drive the editor through it).
  std::function<void(PlayListDlg&)> onEditorOpen;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int SelectedSlot() const;
  void OnItemChanged(QTreeWidgetItem* item, int column);

  Catalogue& cat_;
  QTreeWidget* list_ = nullptr;
  bool filling_ = false;
};

}  // namespace sondesk
