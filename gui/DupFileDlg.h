#pragma once
// The duplicate-name question of an import: rename or replace, for this song or for all that follow.
// There is no cancel: the import needs one of the four answers to go on.

#include <QDialog>

#include "app/Ui.h"

namespace sondesk {

class Session;

class DupFileDlg : public QDialog {
  Q_OBJECT
 public:
  DupFileDlg(const Session& session, const QString& text, QWidget* parent = nullptr);
  DuplicateAnswer answer() const { return answer_; }

 protected:
  void reject() override {}  // Escape and the frame's close button do not answer

 private:
  DuplicateAnswer answer_ = DuplicateAnswer::ModifyName;
};

}  // namespace sondesk
