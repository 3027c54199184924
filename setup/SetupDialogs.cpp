#include "setup/SetupDialogs.h"

#include <QApplication>
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
#include <QTextBrowser>
#include <QVBoxLayout>

#include <unistd.h>

#include "messages/Cp1252.h"

namespace sondesk {
namespace {

QString Q(const std::string& cp1252) {
  return QString::fromStdString(Cp1252ToUtf8(cp1252));
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadCarriedFile(const std::string& name) {
  QFile f(QStringLiteral(":/payload/") + QString::fromStdString(name));
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = f.readAll();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> CarriedIconSvg() {
  QFile f(QStringLiteral(":/icons/sondesk.svg"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = f.readAll();
  return {bytes.begin(), bytes.end()};
}

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

QString ReadmeFor(int language) {
  const char* suffix = language == 0 ? "IT" : language == 2 ? "FR" : language == 4 ? "SP" : "UK";
  QFile f(QStringLiteral(":/readme/INSTALL_%1.html").arg(QLatin1String(suffix)));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

ChooseLanguageDlg::ChooseLanguageDlg() {
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
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  layout->addWidget(ok_, 0, Qt::AlignHCenter);
  connect(ok_, &QPushButton::clicked, this, [this] { done(group_.checkedId()); });
  setFixedSize(200, 210);
}

void ChooseLanguageDlg::reject() {
  done(-1);
}

void ChooseLanguageDlg::Choose(int language) {
  if (QAbstractButton* b = group_.button(language)) b->setChecked(true);
}

InstallDlg::InstallDlg(int language, std::string windir, PayloadReader payload)
    : messages_(language), language_(language), windir_(std::move(windir)), payload_(std::move(payload)) {
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
  change_ = new QPushButton(Q(messages_.Get(243)), this);
  pathRow->addWidget(change_);
  layout->addLayout(pathRow);
  progress_ = new QProgressBar(this);
  progress_->setValue(0);
  layout->addWidget(progress_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  install_ = new QPushButton(Q(messages_.Get(245)), this);
  install_->setDefault(true);
  cancel_ = new QPushButton(Q(messages_.Get(262)), this);
  buttons->addWidget(install_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(change_, &QPushButton::clicked, this, [this] { Change(); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(install_, &QPushButton::clicked, this, [this] { Install(); });
  resize(640, 400);
}

void InstallDlg::Change() {
  const QString chosen = QFileDialog::getExistingDirectory(this, Q(messages_.Get(189)), path_->text(),
                                                           QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (chosen.isEmpty()) return;
  path_->setText(QString::fromStdString(WithSonDeskFolder(chosen.toStdString())));
}

void InstallDlg::Install() {
  const std::string p = path_->text().trimmed().toStdString();
  if (p.empty()) return;
  if (QMessageBox::question(this, Q(messages_.Get(23)), QString::fromStdString(InstallConfirmText(messages_, p)),
                            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
    return;
  }
  const InstallTarget target{p, windir_, language_, ShellFolders::FromEnvironment().desktop};
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
  RunInstallStep(payload_, target, messages_, report);
  const bool desktop = QMessageBox::question(this, Q(messages_.Get(23)), Q(messages_.Get(196)),
                                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  CreateInstallShortcuts(ShellFolders::FromEnvironment(), p, desktop, CarriedIconSvg());
  if (RunInstallStep(payload_, target, messages_, report)) {
    const std::string advice = ParportAdvice();
    if (!advice.empty()) QMessageBox::information(this, Q(messages_.Get(23)), QString::fromStdString(advice));
    accept();
    return;
  }
  QMessageBox::critical(this, Q(messages_.Get(22)), Q(messages_.Get(193)));
  reject();
}

}  // namespace sondesk
