#pragma once
// The texts of one library song's header: title, performer and category (checked against the name
// lists on OK), publisher and author; the file name and copyright are shown as they are.

#include <QDialog>

#include "library/SongInfo.h"

class QComboBox;
class QLineEdit;

namespace sondesk {

class Session;

class FileInfoDlg : public QDialog {
  Q_OBJECT
 public:
  FileInfoDlg(Session& session, const std::string& path, QWidget* parent = nullptr);

  // False when the file could not be read (the box was shown); the dialog is then not to be run.
  bool opened() const { return opened_; }
  // The header's texts as written by OK.
  Mf3Texts savedTexts() const { return info_.texts(); }

  QLineEdit* titleField() const { return title_; }
  QComboBox* performerField() const { return performer_; }
  QComboBox* categoryField() const { return category_; }

 protected:
  void accept() override;

 private:
  Session& session_;
  SongInfo info_;
  bool opened_ = false;
  QLineEdit* title_ = nullptr;
  QComboBox* performer_ = nullptr;
  QComboBox* category_ = nullptr;
  QLineEdit* publisher_ = nullptr;
  QLineEdit* author_ = nullptr;
};

}  // namespace sondesk
