#include "gui/ScreenshotTour.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <cstdio>

#include "app/Session.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/Playlists.h"
#include "gui/DbInfoDlg.h"
#include "gui/DupFileDlg.h"
#include "gui/ExportDialog.h"
#include "gui/FileInfoDlg.h"
#include "gui/MainDlg.h"
#include "gui/MessageDlg.h"
#include "gui/OptionsDlg.h"
#include "gui/PlSelectDlg.h"
#include "gui/PlayListDlg.h"
#include "gui/SongbookDialog.h"
#include "gui/ProgressDialog.h"
#include "gui/QtUi.h"
#include "gui/SearchDlg.h"
#include "gui/SettingsDlg.h"
#include "gui/SongListModel.h"
#include "gui/SplashWindow.h"
#include "gui/Text.h"

namespace sondesk {

namespace {
constexpr int kTickMs = 200;
constexpr int kGiveUpTicks = 600;  // two minutes without the start-up question: take what there is
}  // namespace

ScreenshotTour::ScreenshotTour(Session& session, MainDlg& window, const std::string& folder)
    : session_(session), window_(window), folder_(PathQ(folder)) {
  QDir().mkpath(folder_);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &ScreenshotTour::Tick);
}

void ScreenshotTour::Start() {
  timer_.start();
}

bool ScreenshotTour::Save(QWidget* widget, const QString& name) {
  const QString path = folder_ + QLatin1Char('/') + name + QStringLiteral(".png");
  const bool ok = widget->grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", ok ? "saved" : "FAILED", path.toLocal8Bit().constData());
  return ok;
}

void ScreenshotTour::Tick() {
  ++waited_;
  switch (stage_) {
    case 0: {
      // The start-up question: pictured, then answered Yes, as a new user would.
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != nullptr && box->standardButtons().testFlag(QMessageBox::Yes)) {
        Save(box, QStringLiteral("question-connect"));
        box->button(QMessageBox::Yes)->click();
        stage_ = 1;
        waited_ = 0;
      } else if (waited_ > kGiveUpTicks) {
        stage_ = 1;
      }
      return;
    }
    case 1: {
      // Any box the connection raised is pictured and closed.
      if (QWidget* modal = QApplication::activeModalWidget()) {
        Save(modal, QStringLiteral("box-%1").arg(waited_));
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
          if (QAbstractButton* b = box->button(QMessageBox::Ok))
            b->click();
          else if (QAbstractButton* c = box->button(QMessageBox::Cancel))
            c->click();
          else
            box->reject();
        } else if (auto* d = qobject_cast<QDialog*>(modal)) {
          d->reject();
        }
        return;
      }
      if (window_.busy() || !session_.startupFinished) {
        if (waited_ < kGiveUpTicks) return;
      }
      stage_ = 2;
      timer_.stop();
      Next();
      return;
    }
    default:
      return;
  }
}

void ScreenshotTour::Shoot(const QString& name, const std::function<QWidget*()>& make) {
  shots_.push_back([this, name, make] {
    QWidget* w = make();
    if (w == nullptr) {
      Next();
      return;
    }
    w->show();
    if (w != &window_ && qobject_cast<QFileDialog*>(w) == nullptr) w->adjustSize();
    QTimer::singleShot(400, this, [this, w, name] {
      Save(w, name);
      if (w != &window_) {
        w->close();
        w->deleteLater();
      }
      Next();
    });
  });
}

void ScreenshotTour::Next() {
  if (shots_.empty()) {
    QWidget* parent = &window_;
    Session& s = session_;
    Shoot(QStringLiteral("main"), [this]() -> QWidget* {
      window_.view(ListSide::Library)->setFocus();
      const int rows = window_.model(ListSide::Library)->rowCount();
      if (rows > 1)
        window_.SelectEntries(ListSide::Library,
                              {static_cast<std::size_t>(window_.model(ListSide::Library)->EntryAt(1))});
      return &window_;
    });
    Shoot(QStringLiteral("SettingsDlg"), [&s, parent] { return new SettingsDlg(s, {}, parent); });
    Shoot(QStringLiteral("SEARCHDLG"), [this, &s, parent]() -> QWidget* {
      SearchState* state = &window_.searchState();
      return new SearchDlg(s, *state, *window_.view(ListSide::Library), *window_.model(ListSide::Library),
                           *window_.view(ListSide::Card), *window_.model(ListSide::Card), parent);
    });
    Shoot(QStringLiteral("FileInfoDlg"), [&s, parent]() -> QWidget* {
      if (s.library.empty()) return nullptr;
      auto* d = new FileInfoDlg(s, s.library[0].path, parent);
      if (!d->opened()) {
        delete d;
        return nullptr;
      }
      return d;
    });
    Shoot(QStringLiteral("DbInfoDlg"), [&s, parent] {
      return new DbInfoDlg(s, QStringLiteral("Traditional Choir"),
                           {QStringLiteral("Traditional"), QStringLiteral("The Traditional Singers")},
                           parent);
    });
    Shoot(QStringLiteral("DupFileDlg"), [&s, parent] {
      const std::string text = FormatText(s.Text(248), s.libraryDir().c_str(), "TWINKLE TWINKLE.MF3");
      return new DupFileDlg(s, Q(text), parent);
    });
    Shoot(QStringLiteral("MessageDlg"), [&s, parent] {
      const std::string text = FormatText(s.Text(247), "1999 HITS");
      return new MessageDlg(s, Q(text), Msg(s, 253), Msg(s, 22), parent);
    });
    Shoot(QStringLiteral("ExportDialog"), [&s, parent]() -> QWidget* { return MakeExportDialog(s, parent); });
    Shoot(QStringLiteral("ProgressDialog"), [&s, parent] {
      auto* p = new ProgressDialog(parent);
      p->Open(0);
      p->SetRange(9);
      p->SetPosition(3);
      p->SetLine(1, Msg(s, 121));
      p->SetLine(2, Q(FormatText(s.Text(116), 3, 8)));
      return p;
    });
    Shoot(QStringLiteral("About"), [&s, parent] {
      auto* box = new QMessageBox(QMessageBox::Information, Msg(s, 23), Q(FormatText(s.Text(106), "2.13")),
                                  QMessageBox::Ok, parent);
      return box;
    });
    Shoot(QStringLiteral("OptionsDlg"), [this, parent]() -> QWidget* {
      Catalogue* c = window_.card().CatalogueNow();
      if (c == nullptr) return nullptr;
      auto* d = new OptionsDlg(*c, parent);
      if (!d->opened()) {
        delete d;
        return nullptr;
      }
      return d;
    });
    Shoot(QStringLiteral("PlSelectDlg"), [this, parent]() -> QWidget* {
      Catalogue* c = window_.card().CatalogueNow();
      if (c == nullptr) return nullptr;
      ReadTitleIndexImage(*c);
      return new PlSelectDlg(*c, parent);
    });
    Shoot(QStringLiteral("PlayListDlg"), [this, parent]() -> QWidget* {
      Catalogue* c = window_.card().CatalogueNow();
      if (c == nullptr) return nullptr;
      ReadPlaylistIndex(*c);
      if (c->playlists.usedCount == 0) return nullptr;
      auto* d = new PlayListDlg(*c, 0, parent);
      d->resize(760, 520);
      return d;
    });
    Shoot(QStringLiteral("SongbookDialog"),
          [this, &s, parent]() -> QWidget* { return MakeSongbookDialog(s, window_.card().Reachable(), parent); });
    Shoot(QStringLiteral("splash"), [] { return new SplashWindow(60000); });
    Shoot(QStringLiteral("main-nocard"), [this, &s]() -> QWidget* {
      s.linkMode = LinkMode::NoCard;
      s.startupFinished = true;
      window_.RefreshLists();
      window_.SetPane(0, Q(LinkModeStatusText(LinkMode::NoCard)));
      window_.ShowFreeSpace();
      window_.UpdateCardWarning();
      return &window_;
    });
  }
  if (nextShot_ >= shots_.size()) {
    QTimer::singleShot(100, qApp, [] {
      QApplication::closeAllWindows();
      QApplication::quit();
    });
    return;
  }
  auto shot = shots_[nextShot_++];
  QTimer::singleShot(50, this, shot);
}

}  // namespace sondesk
