#pragma once
// Find: a text looked for in the titles, performers and categories of the library list, the card
// list or both; Next selects the following hit, Select All every hit.

#include <QDialog>

#include "gui/ViewSearchList.h"
#include "library/SongSearch.h"

class QCheckBox;
class QLineEdit;
class QTreeView;

namespace sondesk {

class Session;
class SongListModel;

class SearchDlg : public QDialog {
  Q_OBJECT
 public:
  SearchDlg(Session& session, SearchState& state, QTreeView& libraryView, SongListModel& libraryModel,
            QTreeView& cardView, SongListModel& cardModel, QWidget* parent = nullptr);

  QLineEdit* textField() const { return text_; }
  void Next();
  void SelectAll();

 protected:
  void done(int result) override;

 private:
  void SaveChecks();

  Session& session_;
  SearchState& state_;
  ViewSearchList pc_;
  ViewSearchList card_;
  QLineEdit* text_;
  QCheckBox* title_;
  QCheckBox* performer_;
  QCheckBox* category_;
  QCheckBox* pcBox_;
  QCheckBox* cardBox_;
};

}  // namespace sondesk
