#pragma once
// The installer's two dialogs: the language, then the read-me, the folder and the install itself.

#include <QButtonGroup>
#include <QDialog>

#include <string>

#include "messages/MessageTable.h"
#include "setup/Installer.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextBrowser;

namespace sondesk {

// A carried file from the resources under ":/payload/".
std::optional<std::vector<std::uint8_t>> ReadCarriedFile(const std::string& name);
// The program's icon, for the user's icon theme.
std::vector<std::uint8_t> CarriedIconSvg();
// A hint when a parallel port exists that the user cannot open; "" otherwise.
std::string ParportAdvice();
// The read-me of a language, as rich text.
QString ReadmeFor(int language);

// "CHOOSELANGUAGEDLG": its result is the language number, -1 when it is closed.
class ChooseLanguageDlg : public QDialog {
 public:
  ChooseLanguageDlg();
  void reject() override;
  void Choose(int language);
  QAbstractButton* Button(int language) { return group_.button(language); }
  QPushButton* okButton() { return ok_; }

 private:
  QButtonGroup group_;
  QPushButton* ok_;
};

// "INSTALLDLG": accepted when the installation succeeded.
class InstallDlg : public QDialog {
 public:
  InstallDlg(int language, std::string windir, PayloadReader payload = ReadCarriedFile);

  QLineEdit* pathEdit() { return path_; }
  QTextBrowser* readme() { return readme_; }
  QPushButton* installButton() { return install_; }
  QPushButton* changeButton() { return change_; }
  QPushButton* cancelButton() { return cancel_; }

 private:
  void Change();
  void Install();

  MessageTable messages_;
  int language_;
  std::string windir_;
  PayloadReader payload_;
  QTextBrowser* readme_;
  QLineEdit* path_;
  QProgressBar* progress_;
  QPushButton* install_;
  QPushButton* change_;
  QPushButton* cancel_;
};

}  // namespace sondesk
