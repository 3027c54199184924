#pragma once
// The playlist editor: every song of the card above, the playlist below. Songs are added at the
// beginning or the end (toolbar, or a double click above), dropped where the red line shows after
// dragging them down, moved by dragging within the playlist, and deleted. Each change is saved to
// the card at once.

#include <QDialog>
#include <QPoint>
#include <QTimer>
#include <vector>

#include "app/SongEntry.h"
#include "catalogue/Playlists.h"

class QLabel;
class QToolBar;
class QTreeView;
class QAction;

namespace sondesk {

class Catalogue;
class SongListModel;

class PlayListDlg : public QDialog {
  Q_OBJECT
 public:
  PlayListDlg(Catalogue& catalogue, int slot, QWidget* parent = nullptr);
  ~PlayListDlg() override;

  // Adds the songs selected in the upper list at `position` (clamped to the end).
  void AddSelectedAt(std::size_t position);
  void AddAtBeginning();
  void AddAtEnd();
  // Asks, then removes the rows selected in the lower list.
  void DeleteSelected();

  // --- For tests and the screenshot tour ---------------------------------------------------------
  QTreeView* upperView() const { return upper_; }
  QTreeView* lowerView() const { return lower_; }
  SongListModel* upperModel() const { return upperModel_; }
  const PlaylistEdit& edit() const { return edit_; }
  QAction* action(const char* name) const;
  QString paneText(int pane) const;
  // The insertion line while a drag is under way (hidden otherwise), in the lower list's viewport.
  QWidget* insertionLine() const { return line_; }
  bool dragging() const { return drag_ != DragFrom::None; }
  // The gap between rows that a drop at `viewportPos` of the lower list would use.
  std::size_t InsertionRowAt(QPoint viewportPos) const;
  // Selects rows of the lower list.
  void SelectPlaylistRows(const std::vector<int>& rows);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  enum class DragFrom { None, Upper, Lower };

  void BuildLists();
  void BuildToolbar();
  void BuildStatusBar();
  void PlaceWindow();
  void SaveLayout();
  // The lower list again from the playlist, with the count shown and the scroll offset kept.
  void AfterChange(int scrollTo);
  std::vector<std::size_t> SelectedCardSongs() const;
  std::vector<std::size_t> SelectedPlaylistRows() const;

  void DragMove(QPoint globalPos);
  void DragDrop(QPoint globalPos);
  void DragEnd();
  void AutoScroll();

  Catalogue& cat_;
  int slot_;
  PlaylistEdit edit_;
  SongList shown_;  // the playlist as the lower list's model sees it

  QToolBar* toolbar_ = nullptr;
  QTreeView* upper_ = nullptr;
  QTreeView* lower_ = nullptr;
  SongListModel* upperModel_ = nullptr;
  SongListModel* lowerModel_ = nullptr;
  std::vector<QLabel*> panes_;
  QWidget* line_ = nullptr;

  // Drag state: where the button went down, from which list, and whether the drag has begun.
  DragFrom pressFrom_ = DragFrom::None;
  DragFrom drag_ = DragFrom::None;
  QPoint pressGlobal_;
  int pressRow_ = -1;
  bool pressOnSelected_ = false;
  bool pressConsumed_ = false;  // the press went to us, not to the view
  QPoint lastGlobal_;
  int scrollStep_ = 0;
  QTimer scrollTimer_;
  bool saved_ = false;
};

}  // namespace sondesk
