// The desktop program's tests, one QtTest class per area, run in one process on the offscreen
// platform.
#include <QApplication>
#include <QTest>

#include "CardFlowTest.h"
#include "DialogsTest.h"
#include "MainWindowTest.h"
#include "MiscTest.h"
#include "PlaylistDlgTest.h"
#include "SongListOrderTest.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int status = 0;
  {
    SongListOrderTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  {
    MainWindowTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  {
    DialogsTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  {
    CardFlowTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  {
    MiscTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  {
    PlaylistDlgTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  return status;
}
