#include "uninstall/UninstallWindow.h"

#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "uninstall/Uninstaller.h"

namespace sondesk {

UninstallWindow::UninstallWindow(std::string windir, std::function<void()> startSweep)
    : windir_(std::move(windir)), startSweep_(std::move(startSweep)) {
  setObjectName(QStringLiteral("UNINSTALL"));
  setWindowTitle(QStringLiteral("Uninstall"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(320, 200);
  setStyleSheet(QStringLiteral("QWidget#UNINSTALL { background: black; }"));
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("InstallClass"));
  panel->setGeometry(0, 0, 320, 200);
  panel->setAutoFillBackground(true);
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, QColor(0xD3, 0xD3, 0xD3));
  panel->setPalette(pal);
  auto* text = new QLabel(QStringLiteral("Remove SonDesk?\nPress \"Uninstall\" to proceed!"), panel);
  text->setAlignment(Qt::AlignCenter);
  text->setWordWrap(true);
  text->setGeometry(44, 40, 266, 100);
  auto* icon = new QLabel(panel);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/sondesk.svg")).pixmap(32, 32));
  icon->setGeometry(10, 40, 32, 32);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), panel);
  cancel_->setGeometry(10, 150, 140, 24);
  uninstall_ = new QPushButton(QStringLiteral("Uninstall"), panel);
  uninstall_->setGeometry(170, 150, 140, 24);
  connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
  connect(uninstall_, &QPushButton::clicked, this, [this] {
    UninstallHooks hooks;
    hooks.confirm = [this](const std::string& question) {
      return QMessageBox::question(this, QStringLiteral("Setup"), QString::fromStdString(question),
                                   QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    hooks.startSweep = startSweep_;
    RunUninstall(windir_, hooks);
    close();
  });
}

void UninstallWindow::resizeEvent(QResizeEvent*) {
  // Centred on the desktop whenever its size changes, as it always was.
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

}  // namespace sondesk
