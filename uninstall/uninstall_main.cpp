// uninstall: removes SonDesk's shortcuts and leaves the removal script for the late sweep.

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/Paths.h"
#include "uninstall/Uninstaller.h"
#include "uninstall/UninstallWindow.h"

namespace {

const char kUsage[] =
    "Usage: uninstall [--unattended] [--screenshot FILE]\n"
    "Removes SonDesk installed by setup: its desktop and menu entries at once, then its files\n"
    "through the late sweep (aftersweep), which runs once this program has ended.\n"
    "\n"
    "  --unattended       no window: the question is printed and answered OK\n"
    "  --screenshot FILE  show the window, save it as a PNG file and end (nothing is removed)\n"
    "  --help             this text\n"
    "  --version          the version\n"
    "\n"
    "The settings folder is $SONDESK_WINDIR, else $XDG_CONFIG_HOME/sondesk.\n";

sondesk::UninstallHooks Hooks(const std::string& windir, bool unattended, std::function<bool(const std::string&)> ask) {
  sondesk::UninstallHooks hooks;
  hooks.confirm = std::move(ask);
  hooks.startSweep = [windir, unattended] {
    sondesk::StartAfterSweep(sondesk::FindAfterSweep(windir), windir, unattended);
  };
  return hooks;
}

}  // namespace

int main(int argc, char** argv) {
  bool unattended = false;
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("uninstall (SonDesk) %s\n", SONDESK_VERSION);
      return 0;
    } else if (a == "--unattended") {
      unattended = true;
    } else if (a == "--screenshot" && i + 1 < argc) {
      screenshot = argv[++i];
    } else if (a.rfind("-platform", 0) == 0 || a == "-style") {
      ++i;  // Qt's own
    } else {
      std::fprintf(stderr, "uninstall: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  const std::string windir = sondesk::Paths::FromEnvironment().windir;
  if (unattended) {
    const int started = sondesk::RunUninstall(windir, Hooks(windir, true, [](const std::string& q) {
                                                 std::fputs(q.c_str(), stdout);
                                                 std::fflush(stdout);
                                                 return true;
                                               }));
    return started == 1 ? 0 : 1;
  }
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sondesk.svg")));
  QApplication::setOverrideCursor(Qt::WaitCursor);
  sondesk::UninstallWindow window(windir, [windir] {
    sondesk::StartAfterSweep(sondesk::FindAfterSweep(windir), windir, false);
  });
  window.show();
  QApplication::restoreOverrideCursor();
  if (!screenshot.empty()) {
    QTimer::singleShot(400, &window, [&] {
      window.grab().save(QString::fromStdString(screenshot));
      app.quit();
    });
  }
  return app.exec();
}
