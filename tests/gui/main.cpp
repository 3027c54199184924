// The desktop program's tests, one QtTest class per area, run in one process on the offscreen
// platform.
#include <QApplication>
#include <QTest>

#include "CardFlowTest.h"
#include "DialogsTest.h"
#include "MainWindowTest.h"
#include "MiscTest.h"
#include "PlaylistDlgTest.h"
#include "PlaybackTest.h"
#include "SongListOrderTest.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int status = 0;
  // SONDESK_GUI_CLASS=PlaybackTest runs that class alone (the Xvfb run of the playback tests).
  const QByteArray only = qgetenv("SONDESK_GUI_CLASS");
  auto run = [&](QObject& t) {
    if (only.isEmpty() || only == t.metaObject()->className()) status |= QTest::qExec(&t, argc, argv);
  };
  {
    SongListOrderTest t;
    run(t);
  }
  {
    MainWindowTest t;
    run(t);
  }
  {
    DialogsTest t;
    run(t);
  }
  {
    CardFlowTest t;
    run(t);
  }
  {
    MiscTest t;
    run(t);
  }
  {
    PlaybackTest t;
    run(t);
  }
  {
    PlaylistDlgTest t;
    run(t);
  }
  return status;
}
