// The installer's dialogs and the uninstaller's window driven as a user drives them, on the
// offscreen platform: the language choice, the read-me, Change, Install with its questions
// answered by clicking, and the removal's question.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <map>

#include "app/Paths.h"
#include "app/ProfileFile.h"
#include "setup/SetupDialogs.h"
#include "setup/Szdd.h"
#include "tests/support/TempDir.h"
#include "uninstall/UninstallWindow.h"

namespace sondesk::test {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_setup_ui";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

// Each modal window that opens next is handed to the next handler, in order.
class ModalScript {
 public:
  explicit ModalScript(std::vector<std::function<void(QWidget*)>> steps) : steps_(std::move(steps)) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || next_ >= steps_.size()) return;
      // The dialog under test itself, or a box already handled (boxes come and go at one address).
      if (modal->objectName() == "INSTALLDLG" || modal->property("scripted").toBool()) return;
      modal->setProperty("scripted", true);
      seen.push_back(modal->windowTitle().toStdString() + "|" +
                     (qobject_cast<QMessageBox*>(modal) ? qobject_cast<QMessageBox*>(modal)->text().toStdString() : ""));
      steps_[next_++](modal);
    });
    timer_.start();
  }
  std::vector<std::string> seen;

 private:
  std::vector<std::function<void(QWidget*)>> steps_;
  std::size_t next_ = 0;
  QTimer timer_;
};

std::function<void(QWidget*)> Press(QMessageBox::StandardButton which) {
  return [which](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(which)->click();
  };
}

class SetupDialogsTest : public ::testing::Test {
 protected:
  SetupDialogsTest() {
    App();
    home = dir.path();
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / ".local/share").c_str(), 1);
    MakeFolders(dir / ".config");
    WriteFile(dir / ".config/user-dirs.dirs", std::string("XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"));
    for (const InstallItem& item : InstallItems()) {
      if (item.optional) continue;
      const std::string text = std::string("content of ") + item.resource;
      std::vector<std::uint8_t> bytes(text.begin(), text.end());
      payload[item.resource] = item.compressed ? SzddCompress(bytes, 'F') : bytes;
    }
  }
  PayloadReader Reader() {
    return [this](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
      auto it = payload.find(name);
      if (it == payload.end()) return std::nullopt;
      return it->second;
    };
  }

  TempDir dir;
  std::string home;
  std::map<std::string, std::vector<std::uint8_t>> payload;
};

TEST_F(SetupDialogsTest, LanguageDialogPresetsItalianOffersNoGermanAndClosingEndsWithMinusOne) {
  ChooseLanguageDlg chooser;
  EXPECT_EQ(chooser.windowTitle(), "Sondesk - Scegli la lingua");
  EXPECT_TRUE(chooser.Button(0)->isChecked());
  EXPECT_EQ(chooser.Button(3), nullptr);
  EXPECT_EQ(chooser.Button(4)->text(), QString::fromUtf8("ESPAÑOL"));
  QTimer::singleShot(0, &chooser, [&] {
    chooser.Button(4)->click();
    chooser.okButton()->click();
  });
  EXPECT_EQ(chooser.exec(), 4);
  ChooseLanguageDlg closed;
  QTimer::singleShot(0, &closed, [&] { closed.reject(); });
  EXPECT_EQ(closed.exec(), -1);
}

TEST_F(SetupDialogsTest, SpanishInstallWritesLanguageFourAndNoStillMakesTheMenuEntries) {
  InstallDlg dialog(4, dir / ".config/sondesk", Reader());
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Instalación de SonDesk v2.13");
  EXPECT_TRUE(dialog.readme()->toPlainText().contains(QString::fromUtf8("Qué hace la instalación")));
  EXPECT_EQ(dialog.pathEdit()->text().toStdString(), dir / ".local/share/SonDesk");
  ModalScript script({Press(QMessageBox::Ok), Press(QMessageBox::No)});
  QTimer::singleShot(0, &dialog, [&] { dialog.installButton()->click(); });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  ASSERT_EQ(script.seen.size(), 2u);
  EXPECT_NE(script.seen[0].find("'" + (dir / ".local/share/SonDesk") + "'"), std::string::npos) << script.seen[0];
  const std::string ini = dir / ".config/sondesk/Sondesk.INI";
  EXPECT_EQ(GetPrivateProfileString(ini, "Version", "language", ""), "4");
  EXPECT_EQ(GetPrivateProfileString(ini, "PATH", "ImportPath", ""), dir / "Desktop");
  EXPECT_TRUE(IsFile(dir / ".local/share/applications/SonDesk/SonDesk.desktop"));
  EXPECT_FALSE(IsFile(dir / "Desktop/SonDesk.desktop"));
  EXPECT_EQ(ReadFile(dir / ".local/share/SonDesk/MIDI.DBF"), "content of MIDI.DBF");
}

TEST_F(SetupDialogsTest, CancelInTheConfirmationInstallsNothing) {
  InstallDlg dialog(1, dir / ".config/sondesk", Reader());
  ModalScript script({Press(QMessageBox::Cancel), [&](QWidget*) {}});
  QTimer::singleShot(0, &dialog, [&] { dialog.installButton()->click(); });
  QTimer::singleShot(400, &dialog, [&] { dialog.cancelButton()->click(); });
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_EQ(script.seen.size(), 1u);
  EXPECT_FALSE(IsFolder(dir / ".local/share/SonDesk"));
  EXPECT_FALSE(IsFile(dir / ".config/sondesk/Sondesk.INI"));
}

TEST_F(SetupDialogsTest, AFailedInstallShowsSetupInterrupted) {
  payload.erase("MBRPBR.DAT");
  InstallDlg dialog(1, dir / ".config/sondesk", Reader());
  ModalScript script({Press(QMessageBox::Ok), Press(QMessageBox::Ok), Press(QMessageBox::Yes),
                      Press(QMessageBox::Ok), Press(QMessageBox::Ok)});
  QTimer::singleShot(0, &dialog, [&] { dialog.installButton()->click(); });
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  ASSERT_EQ(script.seen.size(), 5u);
  EXPECT_EQ(script.seen[1], "Error: Filecopy|Can't find resource attach 'MBRPBR.DAT':'PlainExtract'\n");
  EXPECT_EQ(script.seen[4], "SONDESK - Caution|Setup interrupted.\nTry to install again!");
  EXPECT_TRUE(IsFile(dir / "Desktop/SonDesk.desktop")) << "Yes to the desktop question";
}

TEST_F(SetupDialogsTest, ChangeAppendsSonDeskToAChosenFolderKeepingItsCase) {
  MakeFolders(dir / "TOOLS");
  InstallDlg dialog(1, dir / ".config/sondesk", Reader());
  ModalScript script({[&](QWidget* w) {
    auto* chooser = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->windowTitle(), "Choose the folder in which you want to install the program");
    chooser->setDirectory(QString::fromStdString(dir / "TOOLS"));
    static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
  }});
  QTimer::singleShot(0, &dialog, [&] { dialog.changeButton()->click(); });
  QTimer::singleShot(800, &dialog, [&] { dialog.reject(); });
  dialog.exec();
  EXPECT_EQ(dialog.pathEdit()->text().toStdString(), dir / "TOOLS/SonDesk");
}

TEST_F(SetupDialogsTest, UninstallWindowCancelInTheQuestionKeepsEverythingAndOkSetsTheRemovalGoing) {
  const std::string w = dir / ".config/sondesk";
  MakeFolders(w);
  WriteFile(w + "/Sondesk.INI", std::string("[Settings]\nInstallpath=/opt/SonDesk\n"));
  MakeFolders(dir / ".local/share/applications/SonDesk");
  WriteFile(dir / ".local/share/applications/SonDesk/SonDesk.desktop", std::string("[Desktop Entry]\n"));
  int sweeps = 0;
  {
    UninstallWindow window(w, [&] { ++sweeps; });
    EXPECT_EQ(window.windowTitle(), "Uninstall");
    EXPECT_EQ(window.size(), QSize(320, 200));
    window.show();
    ModalScript script({Press(QMessageBox::Cancel)});
    window.uninstallButton()->click();
    ASSERT_EQ(script.seen.size(), 1u);
    EXPECT_EQ(script.seen[0], "Setup|Program path of your installation is:'/opt/SonDesk'\nDelete everything now?\n");
    EXPECT_FALSE(window.isVisible()) << "the window ends either way";
  }
  EXPECT_EQ(sweeps, 0);
  EXPECT_FALSE(IsFile(w + "/_uninst_.dat"));
  EXPECT_TRUE(IsFile(dir / ".local/share/applications/SonDesk/SonDesk.desktop"));
  {
    UninstallWindow window(w, [&] { ++sweeps; });
    window.show();
    ModalScript script({Press(QMessageBox::Ok)});
    window.uninstallButton()->click();
  }
  EXPECT_EQ(sweeps, 1);
  EXPECT_TRUE(IsFile(w + "/_uninst_.dat"));
  EXPECT_FALSE(IsFolder(dir / ".local/share/applications/SonDesk"));
}

}  // namespace
}  // namespace sondesk::test
