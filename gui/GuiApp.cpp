#include "gui/GuiApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/FirstStart.h"
#include "app/Session.h"
#include "gui/Artwork.h"
#include "gui/DemoSetup.h"
#include "gui/DemoSongs.h"
#include "gui/MainDlg.h"
#include "gui/QtUi.h"
#include "gui/ScreenshotTour.h"
#include "gui/SingleInstance.h"
#include "gui/Text.h"

namespace sondesk {

namespace {

const char kUsage[] =
    "usage: sondesk [--demo] [--windir DIR] [--lang N] [--no-splash]\n"
    "               [--screenshots DIR] [--write-demo-songs DIR] [SONG...]\n"
    "\n"
    "  SONG                   .MID, .KAR or .MF3 files to import into the library once the\n"
    "                         program has started, as if dropped on its window\n"
    "  --demo                 a settings folder, library and virtual card of its own, filled with\n"
    "                         demo songs on the first start\n"
    "  --windir DIR           folder of Sondesk.INI (else $SONDESK_WINDIR, else ~/.config/sondesk)\n"
    "  --lang N               language of this run: 0 Italian, 1 English, 2 French, 3 German, 4 Spanish\n"
    "  --no-splash            no start-up picture\n"
    "  --screenshots DIR      answer the start-up question, then save pictures of the main window\n"
    "                         and its dialogs as PNG files in DIR, and end\n"
    "  --write-demo-songs DIR write the demo songs (.KAR) into DIR and end\n";

}  // namespace

bool ParseStartOptions(int argc, char** argv, StartOptions& o, std::string& error, bool& help) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = a + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (a == "--demo") {
      o.demo = true;
    } else if (a == "--windir") {
      if (!value(o.windir)) return false;
    } else if (a == "--lang") {
      std::string v;
      if (!value(v)) return false;
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (end == v.c_str() || *end != '\0' || n < 0 || n > 4) {
        error = "--lang takes 0 to 4";
        return false;
      }
      o.language = static_cast<int>(n);
    } else if (a == "--no-splash") {
      o.splash = false;
    } else if (a == "--screenshots") {
      if (!value(o.screenshotDir)) return false;
    } else if (a == "--write-demo-songs") {
      if (!value(o.writeDemoSongs)) return false;
    } else if (a == "--help" || a == "-h") {
      help = true;
    } else if (!a.empty() && a[0] != '-') {
      o.songs.push_back(a);
    } else if (a.rfind("-", 0) == 0 && a.size() > 1 && a[1] != '-') {
      // Qt's own options (-platform, -style) were taken by QApplication already.
      continue;
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

int RunSondesk(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("sondesk"));
  QGuiApplication::setDesktopFileName(QStringLiteral("sondesk"));
  QApplication::setWindowIcon(AppIcon());

  StartOptions options;
  std::string error;
  bool help = false;
  if (!ParseStartOptions(argc, argv, options, error, help)) {
    std::fprintf(stderr, "sondesk: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.writeDemoSongs.empty()) {
    const std::vector<std::string> written = WriteDemoSongs(options.writeDemoSongs);
    for (const std::string& f : written) std::printf("%s\n", f.c_str());
    return written.empty() ? 1 : 0;
  }

  Paths paths = Paths::FromEnvironment(options.windir);
  DemoPaths demo;
  if (options.demo) {
    demo = DemoPathsFor(paths);
    if (options.windir.empty())
      paths.windir = demo.windir;
    else
      demo.windir = paths.windir;
  }

  SingleInstance lock(PathQ(paths.windir));
  if (!lock.Claim()) return 0;
  paths.EnsureFolders();

  bool demoFirstStart = false;
  if (options.demo) {
    demoFirstStart = PrepareDemoSettings(demo, paths.programDir,
                                         options.language >= 0 ? options.language : LanguageOfLocale());
  }
  // A first start gets what the installer would have written: program folder, library, language.
  SetUpFirstStart(paths);

  QtUi ui;
  Session session(ui, paths, SystemClock(), options.language);
  ui.SetSession(&session);
  // Qt's own words (Yes, No, the file dialog) in the language of the message table.
  QTranslator qtWords;
  static const char* const kQtLanguages[kLanguageCount] = {"it", "en", "fr", "de", "es"};
  const int language = session.messages().language();
  if (language >= 0 && language < kLanguageCount &&
      qtWords.load(QStringLiteral("qtbase_") + QLatin1String(kQtLanguages[language]),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&qtWords);
  }
  UseUserFoldersWhereUnset(session);

  MainDlg::Options windowOptions;
  windowOptions.splash = options.splash && options.screenshotDir.empty();
  MainDlg window(session, ui, windowOptions);
  lock.SetRaiseHandler([&window] {
    if (window.isMinimized()) window.showNormal();
    window.show();
    window.raise();
    window.activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget()) {
      modal->raise();
      modal->activateWindow();
    }
  });
  window.show();

  if (demoFirstStart) {
    QTimer::singleShot(300, &window, [&session, &window, demo] {
      window.RunExclusive([&session, &demo] { ImportDemoSongs(session, demo); });
    });
    // A few of the songs go on the new card, so the demo shows both lists and the songs on both.
    window.onStartupFinished = [&session, &window] {
      if (session.linkMode != LinkMode::Player || !session.card.empty()) return;
      std::vector<std::size_t> some;
      for (std::size_t i = 0; i < session.library.size() && some.size() < 3; i += 2) some.push_back(i);
      window.CopyToCard(some);
    };
  }
  if (!options.songs.empty()) {
    // Songs the desktop handed over ("Open with SonDesk") go in as dropped files do, once the
    // library has been read.
    window.onStartupFinished = [&window, before = std::move(window.onStartupFinished), songs = options.songs] {
      if (before) before();
      window.ImportFiles(songs);
    };
  }
  std::unique_ptr<ScreenshotTour> tour;
  if (!options.screenshotDir.empty()) {
    tour = std::make_unique<ScreenshotTour>(session, window, options.screenshotDir);
    tour->Start();
  }

  const int code = app.exec();
  session.WriteCardDat();
  return code;
}

}  // namespace sondesk
