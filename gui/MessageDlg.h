#pragma once
// A warning with a "Show this message again" box: the numeric-name warning of the song texts and the
// no-text warning of the conversion. The box's state is the answer.

#include <QDialog>

class QCheckBox;

namespace sondesk {

class Session;

class MessageDlg : public QDialog {
  Q_OBJECT
 public:
  MessageDlg(const Session& session, const QString& text, const QString& checkText, const QString& title,
             QWidget* parent = nullptr);
  bool showAgain() const;

 private:
  QCheckBox* check_;
};

}  // namespace sondesk
