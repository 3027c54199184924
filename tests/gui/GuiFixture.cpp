#include "GuiFixture.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "gui/Text.h"

namespace sondesk::test {

GuiFixture::GuiFixture(int language, bool makeWindow) {
  paths.windir = Dir("win");
  paths.workDir = Dir("work");
  paths.dataDir = Dir("data");
  paths.EnsureFolders();
  MakeFolders(Dir("library"));
  MakeFolders(Dir("program"));
  {
    Settings s(paths.IniPath());
    s.WriteInt("Version", "language", language);
    s.WriteString("Settings", "Installpath", Dir("program"));
    s.WriteString("Settings", "CWD", Dir("library"));
    s.WriteInt("Settings", "AskInternet", 0);
  }
  session = std::make_unique<Session>(ui, paths);
  ui.SetSession(session.get());
  ui.SetProgressShowDelay(0);
  if (makeWindow) MakeWindow();
}

void GuiFixture::MakeWindow() {
  MainDlg::Options o;
  o.splash = false;
  o.timers = false;
  window = std::make_unique<MainDlg>(*session, ui, o);
  window->resize(1100, 700);
  window->show();
}

std::string GuiFixture::UseFolderCard() {
  const std::string card = Dir("card");
  MakeFolders(card);
  session->settings().WriteInt("Settings", "OnlyDriveRemovable", 0);
  session->settings().WriteString("Settings", "Flashdrive", card);
  return card;
}

GuiFixture::~GuiFixture() {
  window.reset();
  ui.SetOwner(nullptr);
}

std::string GuiFixture::Dir(const std::string& name) const {
  return PathStd(temp.path()) + "/" + name;
}

SongEntry& GuiFixture::AddLibrary(const std::string& title, const std::string& performer,
                                  const std::string& category) {
  SongEntry e;
  e.title = title;
  e.performer = performer;
  e.category = category;
  e.path = Dir("library") + "/" + title + ".MF3";
  session->library.push_back(e);
  session->library.Renumber();
  return session->library[session->library.size() - 1];
}

SongEntry& GuiFixture::AddCard(const std::string& title, const std::string& performer,
                               const std::string& category) {
  SongEntry e;
  e.title = title;
  e.performer = performer;
  e.category = category;
  e.path = Format("%05d.MF3", static_cast<int>(session->card.size()));
  e.scanNumber = static_cast<std::uint16_t>(session->card.size());
  session->card.push_back(e);
  session->card.Renumber();
  return session->card[session->card.size() - 1];
}

ModalAnswerer::ModalAnswerer() {
  timer_.setInterval(20);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start();
}

ModalAnswerer::Action ModalAnswerer::Click(const char* objectName) {
  return [objectName](QWidget* w) {
    if (auto* b = w->findChild<QAbstractButton*>(QString::fromLatin1(objectName))) b->click();
  };
}

ModalAnswerer::Action ModalAnswerer::ClickBox(QMessageBox::StandardButton button) {
  return [button](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      if (QAbstractButton* b = box->button(button)) b->click();
    }
  };
}

int ModalAnswerer::Count(const QString& className) const {
  int n = 0;
  for (const QString& s : seen) n += s.startsWith(className + QLatin1Char('|')) ? 1 : 0;
  return n;
}

void ModalAnswerer::Tick() {
  QWidget* w = QApplication::activeModalWidget();
  if (w == nullptr || w == last_.data() || !w->isVisible()) return;
  last_ = w;
  QString text;
  if (auto* box = qobject_cast<QMessageBox*>(w)) {
    text = box->text();
  } else if (auto* l = w->findChild<QLabel*>(QStringLiteral("text"))) {
    text = l->text();
  }
  const QString cls = QString::fromLatin1(w->metaObject()->className()).section(QStringLiteral("::"), -1);
  seen << cls + QLatin1Char('|') + w->windowTitle() + QLatin1Char('|') + text;
  Action action;
  if (!actions_.empty()) {
    action = std::move(actions_.front());
    actions_.pop_front();
  } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
    action = [](QWidget* x) {
      auto* b = static_cast<QMessageBox*>(x);
      for (auto sb : {QMessageBox::Ok, QMessageBox::Yes}) {
        if (QAbstractButton* btn = b->button(sb)) {
          btn->click();
          return;
        }
      }
      b->reject();
    };
    (void)box;
  } else if (cls == QLatin1String("DupFileDlg")) {
    action = Click("modifyName");
  } else {
    action = Click("ok");
  }
  // Answered from the event loop, not from inside this tick, so the dialog is fully up.
  QTimer::singleShot(0, w, [w, action] { action(w); });
}

}  // namespace sondesk::test
