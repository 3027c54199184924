// aftersweep: the late part of the removal. Waits until the uninstaller has ended, carries out the
// removal script in the settings folder line by line, deletes it and ends with exit code 1.

#include <QApplication>
#include <QMessageBox>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Clock.h"
#include "app/Paths.h"
#include "uninstall/RemovalScript.h"
#include "uninstall/Uninstaller.h"

namespace {

const char kUsage[] =
    "Usage: aftersweep [--after PID] [--unattended]\n"
    "Carries out the removal script _uninst_.dat of the settings folder ($SONDESK_WINDIR, else\n"
    "$XDG_CONFIG_HOME/sondesk) and deletes it. Started by uninstall; ends with exit code 1.\n"
    "\n"
    "  --after PID    first wait until process PID has ended (at most a minute)\n"
    "  --unattended   boxes and beeps are printed as lines instead of shown\n"
    "  --help         this text\n"
    "  --version      the version\n";

class Actions : public sondesk::SweepActions {
 public:
  Actions(int& argc, char** argv, bool unattended) : argc_(argc), argv_(argv), unattended_(unattended) {}

  void Beep() override {
    if (unattended_) {
      std::printf("beep\n");
      std::fflush(stdout);
    } else if (App()) {
      QApplication::beep();
    } else if (::isatty(2)) {
      std::fputc('\a', stderr);
    }
  }
  void ShowBox(const std::string& text, const std::string& title, bool stopIcon) override {
    if (!unattended_ && App()) {
      QMessageBox box(stopIcon ? QMessageBox::Critical : QMessageBox::Information, QString::fromStdString(title),
                      QString::fromStdString(text), QMessageBox::Ok);
      box.exec();
      return;
    }
    std::printf("%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stdout);
  }

 private:
  // A display is opened only when there is something to show, and only when there is one.
  QApplication* App() {
    if (!app_ && (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))) {
      app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    return app_.get();
  }
  int& argc_;
  char** argv_;
  bool unattended_;
  std::unique_ptr<QApplication> app_;
};

}  // namespace

int main(int argc, char** argv) {
  bool unattended = false;
  long after = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("aftersweep (SonDesk) %s\n", SONDESK_VERSION);
      return 0;
    } else if (a == "--unattended") {
      unattended = true;
    } else if (a == "--after" && i + 1 < argc) {
      after = std::strtol(argv[++i], nullptr, 10);
    } else {
      std::fprintf(stderr, "aftersweep: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  sondesk::WaitForProcessEnd(after, 60000);
  Actions actions(argc, argv, unattended);
  sondesk::SteadyClock clock;
  return sondesk::RunAfterSweep(sondesk::Paths::FromEnvironment().windir, actions, clock);
}
