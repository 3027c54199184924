// setup: installs SonDesk for the current user from the files it carries.

#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResource>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Paths.h"
#include "messages/Cp1252.h"
#include "messages/MessageTable.h"
#include "setup/Installer.h"

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

QString Q(const std::string& cp1252) {
  return QString::fromStdString(Cp1252ToUtf8(cp1252));
}

std::optional<std::vector<std::uint8_t>> ReadPayload(const std::string& name) {
  QFile f(QStringLiteral(":/payload/") + QString::fromStdString(name));
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = f.readAll();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> IconSvg() {
  QFile f(QStringLiteral(":/icons/sondesk.svg"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = f.readAll();
  return {bytes.begin(), bytes.end()};
}

std::string DesktopFolder() {
  return ShellFolders::FromEnvironment().desktop;
}

// The cable's port, when there is one the user cannot open: the player is reached through it.
std::string ParportAdvice() {
  for (const char* dev : {"/dev/parport0", "/dev/parport1"}) {
    if (::access(dev, F_OK) == 0 && ::access(dev, R_OK | W_OK) != 0) {
      return std::string("The parallel port ") + dev +
             " is not open to you. To reach the player on its cable, add yourself to the group lp "
             "(sudo adduser $USER lp) and log in again.";
    }
  }
  return "";
}

// The language dialog: its result is the language number, -1 when it is closed.
class ChooseLanguageDlg : public QDialog {
 public:
  ChooseLanguageDlg() {
    setObjectName(QStringLiteral("CHOOSELANGUAGEDLG"));
    setWindowTitle(QStringLiteral("Sondesk - Scegli la lingua"));
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(this);
    auto* radios = new QVBoxLayout(box);
    const struct {
      const char* text;
      int language;
    } choices[] = {{"ITALIANO", 0}, {"ENGLISH", 1}, {"FRANÇAIS", 2}, {"ESPAÑOL", 4}};
    for (const auto& c : choices) {
      auto* r = new QRadioButton(QString::fromUtf8(c.text), box);
      group_.addButton(r, c.language);
      radios->addWidget(r);
    }
    group_.button(0)->setChecked(true);
    layout->addWidget(box);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    connect(ok, &QPushButton::clicked, this, [this] { done(group_.checkedId()); });
    setFixedSize(200, 210);
  }
  void reject() override { done(-1); }
  void Choose(int language) {
    if (QAbstractButton* b = group_.button(language)) b->setChecked(true);
  }

 private:
  QButtonGroup group_;
};

QString ReadmeFor(int language) {
  const char* suffix = language == 0 ? "IT" : language == 2 ? "FR" : language == 4 ? "SP" : "UK";
  QFile f(QStringLiteral(":/readme/INSTALL_%1.html").arg(QLatin1String(suffix)));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

class InstallDlg : public QDialog {
 public:
  InstallDlg(int language, std::string windir) : messages_(language), language_(language), windir_(std::move(windir)) {
    setObjectName(QStringLiteral("INSTALLDLG"));
    setWindowTitle(Q(messages_.Get(244)));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(QIcon(QStringLiteral(":/icons/sondesk.svg")).pixmap(48, 48));
    logo->setAlignment(Qt::AlignTop);
    top->addWidget(logo);
    readme_ = new QTextBrowser(this);
    readme_->setObjectName(QStringLiteral("readme"));
    readme_->setOpenExternalLinks(true);
    readme_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    readme_->setHtml(ReadmeFor(language));
    top->addWidget(readme_, 1);
    layout->addLayout(top, 1);
    layout->addWidget(new QLabel(Q(messages_.Get(246)), this));
    auto* pathRow = new QHBoxLayout;
    path_ = new QLineEdit(QString::fromStdString(ProposedInstallPath()), this);
    path_->setObjectName(QStringLiteral("path"));
    pathRow->addWidget(path_, 1);
    auto* change = new QPushButton(Q(messages_.Get(243)), this);
    pathRow->addWidget(change);
    layout->addLayout(pathRow);
    progress_ = new QProgressBar(this);
    progress_->setValue(0);
    layout->addWidget(progress_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* install = new QPushButton(Q(messages_.Get(245)), this);
    install->setDefault(true);
    auto* cancel = new QPushButton(Q(messages_.Get(262)), this);
    buttons->addWidget(install);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(change, &QPushButton::clicked, this, [this] { Change(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(install, &QPushButton::clicked, this, [this] { Install(); });
    resize(640, 400);
  }

 private:
  void Change() {
    const QString chosen = QFileDialog::getExistingDirectory(this, Q(messages_.Get(189)), path_->text());
    if (chosen.isEmpty()) return;
    path_->setText(QString::fromStdString(WithSonDeskFolder(chosen.toStdString())));
  }

  void Install() {
    const std::string p = path_->text().trimmed().toStdString();
    if (p.empty()) return;
    if (QMessageBox::question(this, Q(messages_.Get(23)), QString::fromStdString(InstallConfirmText(messages_, p)),
                              QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
      return;
    }
    const InstallTarget target{p, windir_, language_, DesktopFolder()};
    InstallReport report;
    report.error = [this](const std::string& text, const std::string& title) {
      QMessageBox::critical(this, QString::fromStdString(title), QString::fromStdString(text));
    };
    report.progress = [this](int done, int total) {
      progress_->setRange(0, total);
      progress_->setValue(done);
      QApplication::processEvents();
    };
    report.busy = [](bool on) {
      if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
      } else {
        QApplication::restoreOverrideCursor();
      }
    };
    CreateInstallFolders(p);
    RunInstallStep(ReadPayload, target, messages_, report);
    const bool desktop = QMessageBox::question(this, Q(messages_.Get(23)), Q(messages_.Get(196)),
                                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    CreateInstallShortcuts(ShellFolders::FromEnvironment(), p, desktop, IconSvg());
    if (RunInstallStep(ReadPayload, target, messages_, report)) {
      const std::string advice = ParportAdvice();
      if (!advice.empty()) QMessageBox::information(this, Q(messages_.Get(23)), QString::fromStdString(advice));
      accept();
      return;
    }
    QMessageBox::critical(this, Q(messages_.Get(22)), Q(messages_.Get(193)));
    reject();
  }

  MessageTable messages_;
  int language_;
  std::string windir_;
  QTextBrowser* readme_;
  QLineEdit* path_;
  QProgressBar* progress_;
};

int Unattended(int language, std::string path, const std::string& change, bool desktopIcon, const std::string& windir) {
  const MessageTable messages(language);
  if (!change.empty()) path = WithSonDeskFolder(change);
  if (path.empty()) path = ProposedInstallPath();
  std::printf("%s\n", InstallConfirmText(messages, path).c_str());
  const InstallTarget target{path, windir, language, DesktopFolder()};
  InstallReport report;
  report.error = [](const std::string& text, const std::string& title) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  };
  CreateInstallFolders(path);
  RunInstallStep(ReadPayload, target, messages, report);
  std::printf("%s %s\n", Cp1252ToUtf8(messages.Get(196)).c_str(), desktopIcon ? "YES" : "NO");
  CreateInstallShortcuts(ShellFolders::FromEnvironment(), path, desktopIcon, IconSvg());
  if (!RunInstallStep(ReadPayload, target, messages, report)) {
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
