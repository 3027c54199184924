#include "MiscTest.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPdfWriter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "GuiFixture.h"
#include "app/AtomicFile.h"
#include "emulator/CardImage.h"
#include "emulator/VirtualFlash.h"
#include "gui/CommandIds.h"
#include "gui/DemoSongs.h"
#include "gui/DriveList.h"
#include "gui/GuiApp.h"
#include "gui/ListPrinter.h"
#include "gui/ProgressDialog.h"
#include "gui/SingleInstance.h"
#include "gui/Text.h"

using namespace sondesk;
using namespace sondesk::test;

void MiscTest::printPagesFollowThePageGeometry() {
  const PrintLayout portrait = ComputePrintLayout(4800, 6800);
  QCOMPARE(portrait.fontHeight, 6800 / 80);
  QCOMPARE(portrait.fontWidth, 4800 / 120);
  QCOMPARE(portrait.pitch, 6800 / 80 + 5);
  QCOMPARE(portrait.linesPerPage, static_cast<int>((6800 - 680.0) / portrait.pitch));
  const PrintLayout landscape = ComputePrintLayout(6800, 4800);
  QCOMPARE(landscape.fontHeight, 4800 / 50);
  QCOMPARE(landscape.fontWidth, 6800 / 175);
  // 61 rows with 31 lines a page: 30 rows a page, three pages.
  QCOMPARE(PrintPageCount(61, 31), 3);
  QCOMPARE(PrintPageCount(60, 31), 2);
  QCOMPARE(PrintPageCount(0, 31), 1);

  QTemporaryDir dir;
  QPdfWriter pdf(dir.filePath(QStringLiteral("list.pdf")));
  pdf.setResolution(300);
  PrintJob job;
  job.title = QStringLiteral("Lista delle song su Hard Disk");
  job.pageFormat = QStringLiteral("Page %d of %d");
  job.date = QStringLiteral("01/02/2026");
  const PrintLayout l = ComputePrintLayout(pdf.width(), pdf.height());
  for (int i = 0; i < 2 * (l.linesPerPage - 1) + 1; ++i)
    job.rows.push_back({QStringLiteral("T%1").arg(i), {}, {}});
  QCOMPARE(PaintSongPages(pdf, job), 3);
}

void MiscTest::progressWindowShowsTheRun() {
  GuiFixture f;
  Progress& p = f.session->progress();
  ProgressDialog* view = f.ui.progressDialog();
  QVERIFY(view != nullptr);
  p.ProgressStartTimed(0);
  QVERIFY(!view->isOpen());
  p.ProgressStartTimed(10);
  p.ProgressSetLine1("Reading songs from Hard Disk...");
  p.ProgressStepTimed(1);
  p.ProgressStepTimed(1);
  QVERIFY(view->isOpen());
  QVERIFY(view->isVisible());
  QCOMPARE(view->maximum(), 11);
  QCOMPARE(view->position(), 2);
  QCOMPARE(view->line1(), QStringLiteral("Reading songs from Hard Disk..."));
  p.ProgressEnd();
  QVERIFY(!view->isOpen());
  QVERIFY(!view->isVisible());
}

void MiscTest::progressWindowNeverCoversABox() {
  GuiFixture f;
  Progress& p = f.session->progress();
  ProgressDialog* view = f.ui.progressDialog();
  // Above SonDesk only, not above the user's other programs.
  QVERIFY(!view->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  p.ProgressStartTimed(10);
  p.ProgressSetLine1("Import");
  p.ProgressStepTimed(1);
  QVERIFY(view->isVisible());
  ModalAnswerer answers;
  bool visibleUnderBox = true;
  answers.Push([&](QWidget* w) {
    visibleUnderBox = view->isVisible();
    if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(QMessageBox::Ok)->click();
  });
  f.session->ShowOpenError("/program/MIDI.DBF");
  QVERIFY(!visibleUnderBox);
  QVERIFY(view->isVisible());  // back for the rest of the work
  p.ProgressEnd();

  // A run whose window is still waiting to show when a box comes up shows only after the box.
  p.ProgressStartTimed(10);
  QVERIFY(view->isOpen());
  view->StepAside();
  view->Open(0);
  QVERIFY(!view->isVisible());
  view->ComeBack();
  QVERIFY(view->isVisible());
  p.ProgressEnd();
  QVERIFY(!view->isVisible());
}

void MiscTest::secondCopyRaisesTheFirst() {
  QTemporaryDir dir;
  const QString scope = dir.path();
  SingleInstance first(scope);
  int raised = 0;
  first.SetRaiseHandler([&] { ++raised; });
  QVERIFY(first.Claim());
  // The second copy runs in a thread of its own here; in life it is another process.
  bool secondClaimed = true;
  std::thread second([&] {
    SingleInstance other(scope);
    secondClaimed = other.Claim();
  });
  QTRY_COMPARE_WITH_TIMEOUT(raised, 1, 5000);
  second.join();
  QVERIFY(!secondClaimed);
  // Another settings folder is another program.
  QTemporaryDir elsewhere;
  SingleInstance third(elsewhere.path());
  QVERIFY(third.Claim());
}

void MiscTest::demoSongsAreKaraokeFiles() {
  QVERIFY(DemoSongList().size() >= 5);
  for (std::size_t i = 0; i < DemoSongList().size(); ++i) {
    QVERIFY2(DemoSongWordsFitMelody(i), DemoSongList()[i].fileName);
    const std::vector<std::uint8_t> file = DemoSongFile(i);
    QVERIFY(file.size() > 200);
    QCOMPARE(std::string(file.begin(), file.begin() + 4), std::string("MThd"));
    const std::string bytes(file.begin(), file.end());
    QVERIFY(bytes.find("@KMIDI KARAOKE FILE") != std::string::npos);
    QVERIFY(bytes.find("\xFF\x01\x01\\") != std::string::npos || bytes.find('\\') != std::string::npos);
    QVERIFY(bytes.find('/') != std::string::npos);
  }
  GuiFixture f(1, false);
  const std::vector<std::string> written = WriteDemoSongs(f.Dir("songs"));
  QCOMPARE(written.size(), DemoSongList().size());
}

void MiscTest::fileFiltersTakeBothCases() {
  QCOMPARE(QtUi::QtFilter("Database with delimited fields (*.TXT)|*.TXT"),
           QStringLiteral("Database with delimited fields (*.TXT *.txt)"));
  QCOMPARE(QtUi::QtFilter(std::string("MIDIFILE (*.MID)\0*.MID;*.KAR\0", 28)),
           QStringLiteral("MIDIFILE (*.MID *.mid *.KAR *.kar)"));
  QCOMPARE(QtUi::QtFilter("MIDIFILE (*.MID) (*.MID *.mid)"),
           QStringLiteral("MIDIFILE (*.MID) (*.MID *.mid)"));
}

void MiscTest::drivesAreDescribedByKindAndSize() {
  QCOMPARE(DriveSizeText(-1), QStringLiteral("?"));
  QCOMPARE(DriveSizeText(64LL * 1024 * 1024), QStringLiteral(" 64.0 MB"));
  QCOMPARE(DriveSizeText(2LL * 1024 * 1024 * 1024), QStringLiteral(" 2.0 GB"));
  QCOMPARE(DriveKindWord("/dev/sdb1", "vfat", true), QStringLiteral(" Removable"));
  QCOMPARE(DriveKindWord("/dev/sda2", "ext4", false), QStringLiteral(" Fixed"));
  QCOMPARE(DriveKindWord("/dev/sr0", "iso9660", false), QStringLiteral(" CD-ROM"));
  QCOMPARE(DriveKindWord("server:/x", "nfs4", false), QStringLiteral(" Remote"));
  QCOMPARE(DriveKindWord("tmpfs", "tmpfs", false), QStringLiteral(" Ram Disk"));
}

void MiscTest::songsOnTheCommandLineAreKept() {
  // What a desktop entry's %F hands over: file names, among the options.
  char a0[] = "sondesk", a1[] = "--lang", a2[] = "1", a3[] = "/songs/One.kar", a4[] = "--no-splash", a5[] = "Two.MID";
  char* argv[] = {a0, a1, a2, a3, a4, a5, nullptr};
  sondesk::StartOptions options;
  std::string error;
  bool help = false;
  QVERIFY(sondesk::ParseStartOptions(6, argv, options, error, help));
  QCOMPARE(options.language, 1);
  QVERIFY(!options.splash);
  QCOMPARE(options.songs, (std::vector<std::string>{"/songs/One.kar", "Two.MID"}));
  char b1[] = "--bogus";
  char* bad[] = {a0, b1, nullptr};
  sondesk::StartOptions none;
  QVERIFY(!sondesk::ParseStartOptions(2, bad, none, error, help));
}

void MiscTest::progressWindowCancelsARunThatMayStop() {
  GuiFixture f;
  Progress& p = f.session->progress();
  ProgressDialog* view = f.ui.progressDialog();
  p.ProgressStart(10);
  QVERIFY(!view->cancelButtons()->isVisible());
  p.AllowCancel();
  QVERIFY(view->cancelButtons()->isVisible());
  QVERIFY(!p.Cancelled());
  view->cancelButtons()->button(QDialogButtonBox::Cancel)->click();
  QVERIFY(p.Cancelled());
  p.ProgressEnd();
  QVERIFY(!p.Cancelled());
  // The next run starts afresh, and one that may not stop shows no button.
  p.ProgressStart(10);
  QVERIFY(!view->cancelButtons()->isVisible());
  QVERIFY(!p.Cancelled());
  p.ProgressEnd();
}

void MiscTest::updateCommandAsksForTheFileAndTheVersion() {
  GuiFixture f;
  const std::string firmware = f.Dir("program") + "/SONVAR.MHX";
  std::vector<std::uint8_t> shipped;
  QVERIFY(ReadWholeFile(std::string(SONDESK_PROGRAM_DIR) + "/SONVAR.MHX", shipped));
  QVERIFY(WriteFileAtomically(firmware, shipped));
  const std::string image = f.Dir("data") + "/card.img";
  std::string error;
  QVERIFY(CreateBlankCardImage(image, 1, error));
  f.session->settings().portBackend = "virtual";
  f.session->settings().virtualCard = image;
  f.session->settings().webUpdate = 0;

  QAction* update = f.window->menuAction(cmd::kUpdateFirmware);
  QVERIFY(update != nullptr);
  QVERIFY(update->isEnabled());
  QVERIFY(f.window->toolbarAction(cmd::kUpdateFirmware)->isEnabled());

  ModalAnswerer answers;
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Yes));  // search the file on the PC
  answers.Push([firmware](QWidget* w) {
    if (auto* d = qobject_cast<QFileDialog*>(w)) {
      d->selectFile(PathQ(firmware));
      QMetaObject::invokeMethod(d, "accept");
    }
  });
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));  // not this version
  f.window->RunCommand(cmd::kUpdateFirmware);

  QCOMPARE(answers.seen.size(), 3);
  QVERIFY2(answers.seen[0].contains(QStringLiteral("Do you want to search the file in your PC?")),
           qPrintable(answers.seen[0]));
  QVERIFY2(answers.seen[1].startsWith(QStringLiteral("QFileDialog|SONDESK - Find file SONVAR.MHX...")),
           qPrintable(answers.seen[1]));
  QVERIFY2(answers.seen[2].contains(QStringLiteral("SonDesk VP 1.00 08/12/2026")), qPrintable(answers.seen[2]));
  QVERIFY(answers.seen[2].contains(QStringLiteral("Do you want to use this version to update Sonvar?")));
  // Declined: the player's program memory was never touched.
  QVERIFY(!IsFile(FlashSideFilePath(image)));
}
