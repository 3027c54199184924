#pragma once
// The name-list confirmation: a performer or category that is not in its list file yet is confirmed
// as typed, or replaced by one of the lines that share a word with it.

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;

namespace sondesk {

class Session;

class DbInfoDlg : public QDialog {
  Q_OBJECT
 public:
  DbInfoDlg(const Session& session, const QString& name, const QStringList& candidates,
            QWidget* parent = nullptr);

  bool confirmed() const { return confirmed_; }
  QString name() const;
  // True when the name was picked from the list and not changed afterwards: such a name is in the
  // list file already and is not appended again.
  bool pickedFromList() const { return picked_; }

 private:
  QLineEdit* edit_;
  QListWidget* list_;
  bool confirmed_ = false;
  bool picked_ = false;
};

}  // namespace sondesk
