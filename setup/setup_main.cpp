// setup: installs SonDesk for the current user from the files it carries.

#include <QApplication>
#include <QIcon>
#include <QResource>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Paths.h"
#include "messages/Cp1252.h"
#include "messages/MessageTable.h"
#include "setup/Installer.h"
#include "setup/SetupDialogs.h"

extern "C" const unsigned char sondesk_payload_rcc[];

namespace {

using namespace sondesk;

const char kUsage[] =
    "Usage: setup [--lang N] [--screenshots DIR]\n"
    "       setup --unattended --lang N [--path DIR | --change DIR] [--desktop-icon yes|no]\n"
    "Installs SonDesk for the current user: the programs and data into a folder of your choice\n"
    "(proposed: $XDG_DATA_HOME/SonDesk), the first settings into $XDG_CONFIG_HOME/sondesk/Sondesk.INI\n"
    "(or $SONDESK_WINDIR), menu entries in a \"SonDesk\" group, optionally desktop icons, and the\n"
    "song types .mid, .kar and .mf3.\n"
    "\n"
    "  --unattended          no windows: every question is answered as the options say\n"
    "  --lang N              0 Italian, 1 English, 2 French, 4 Spanish\n"
    "  --path DIR            install into DIR as given\n"
    "  --change DIR          install into DIR the way \"Change\" takes a chosen folder (\"SonDesk\" added\n"
    "                        unless the path names it)\n"
    "  --desktop-icon yes|no answer to the desktop-icon question (unattended; default no)\n"
    "  --screenshots DIR     show both dialogs, save them as PNG files in DIR and end\n"
    "  --help                this text\n"
    "  --version             the version\n";

int Unattended(int language, std::string path, const std::string& change, bool desktopIcon, const std::string& windir) {
  const MessageTable messages(language);
  if (!change.empty()) path = WithSonDeskFolder(change);
  if (path.empty()) path = ProposedInstallPath();
  std::printf("%s\n", InstallConfirmText(messages, path).c_str());
  const InstallTarget target{path, windir, language, ShellFolders::FromEnvironment().desktop};
  InstallReport report;
  report.error = [](const std::string& text, const std::string& title) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  };
  CreateInstallFolders(path);
  RunInstallStep(ReadCarriedFile, target, messages, report);
  std::printf("%s %s\n", Cp1252ToUtf8(messages.Get(196)).c_str(), desktopIcon ? "YES" : "NO");
  CreateInstallShortcuts(ShellFolders::FromEnvironment(), path, desktopIcon, CarriedIconSvg());
  if (!RunInstallStep(ReadCarriedFile, target, messages, report)) {
    std::fprintf(stderr, "%s\n", Cp1252ToUtf8(messages.Get(193)).c_str());
    return 1;
  }
  const std::string advice = ParportAdvice();
  if (!advice.empty()) std::printf("%s\n", advice.c_str());
  std::printf("installed in %s\n", path.c_str());
  return 0;
}

bool SaveShot(QWidget& w, const std::string& dir, const char* name) {
  MakeFolders(dir);
  return w.grab().save(QString::fromStdString(JoinPath(dir, std::string(name) + ".png")));
}

}  // namespace

int main(int argc, char** argv) {
  bool unattended = false;
  int language = -1;
  std::string path, change, screenshots;
  bool desktopIcon = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "setup: %s needs a value\n%s", a.c_str(), kUsage);
        std::exit(2);
      }
      out = argv[++i];
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("setup (SonDesk) %s\n", SONDESK_VERSION);
      return 0;
    } else if (a == "--unattended") {
      unattended = true;
    } else if (a == "--lang") {
      value(v);
      char* end = nullptr;
      language = static_cast<int>(std::strtol(v.c_str(), &end, 10));
      if (v.empty() || *end || !SetupOffersLanguage(language)) {
        std::fprintf(stderr, "setup: --lang takes 0 (Italian), 1 (English), 2 (French) or 4 (Spanish)\n");
        return 2;
      }
    } else if (a == "--path") {
      value(path);
    } else if (a == "--change") {
      value(change);
    } else if (a == "--desktop-icon") {
      value(v);
      if (v != "yes" && v != "no") {
        std::fprintf(stderr, "setup: --desktop-icon takes yes or no\n");
        return 2;
      }
      desktopIcon = v == "yes";
    } else if (a == "--screenshots") {
      value(screenshots);
    } else if (a == "-platform" || a == "-style") {
      ++i;  // Qt's own
    } else {
      std::fprintf(stderr, "setup: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  QResource::registerResource(sondesk_payload_rcc);
  const std::string windir = Paths::FromEnvironment().windir;
  if (unattended) {
    if (language < 0) {
      std::fprintf(stderr, "setup: --unattended needs --lang\n");
      return 2;
    }
    return Unattended(language, path, change, desktopIcon, windir);
  }

  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sondesk.svg")));
  ChooseLanguageDlg chooser;
  if (language >= 0) chooser.Choose(language);
  if (!screenshots.empty()) {
    QTimer::singleShot(400, &chooser, [&] {
      SaveShot(chooser, screenshots, "CHOOSELANGUAGEDLG");
      chooser.done(language >= 0 ? language : 0);
    });
  }
  int chosen = chooser.exec();
  if (chosen < 0) return 1;
  if (chosen > 4) chosen = 0;
  InstallDlg dialog(chosen, windir);
  if (!screenshots.empty()) {
    QTimer::singleShot(600, &dialog, [&] {
      SaveShot(dialog, screenshots, "INSTALLDLG");
      dialog.reject();
    });
  }
  const bool installed = dialog.exec() == QDialog::Accepted;
  return installed || !screenshots.empty() ? 0 : 1;
}
