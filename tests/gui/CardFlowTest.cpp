#include "CardFlowTest.h"

#include <QKeyEvent>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>

#include "GuiFixture.h"
#include "gui/CommandIds.h"
#include "gui/DemoSongs.h"
#include "gui/SongListModel.h"

using namespace sondesk;
using namespace sondesk::test;

namespace {
void ImportDemo(GuiFixture& f, std::initializer_list<std::size_t> songs) {
  std::vector<std::string> paths;
  MakeFolders(f.Dir("in"));
  for (std::size_t i : songs) {
    const std::string p = f.Dir("in") + "/" + DemoSongList()[i].fileName;
    const std::vector<std::uint8_t> b = DemoSongFile(i);
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    paths.push_back(p);
  }
  f.window->ImportFiles(paths);
}
}  // namespace

void CardFlowTest::songsGoToAFolderCardAndBack() {
  GuiFixture f(1, false);
  const std::string card = f.UseFolderCard();
  f.MakeWindow();
  ModalAnswerer answers;
  ImportDemo(f, {0, 1});
  QCOMPARE(f.session->library.size(), std::size_t{2});

  // No: the card reader is used.
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  f.window->FirstRunStep();
  QCOMPARE(f.session->linkMode, LinkMode::CardReader);
  QCOMPARE(f.window->paneText(0), QStringLiteral("CF-Drive"));
  QVERIFY(f.window->paneText(3).startsWith(QStringLiteral("Free: ")));
  QVERIFY(!f.window->cardWarningVisible());

  QCOMPARE(f.window->CopyToCard({0}), 1);
  QCOMPARE(f.window->model(ListSide::Card)->rowCount(), 1);
  QVERIFY(std::filesystem::exists(card + "/INDEX0.DAT"));
  QCOMPARE(f.window->paneText(2), QStringLiteral("MF3 on Card: 1"));
  // The song now stands on both lists.
  const std::string title = f.session->card[0].title;
  for (const SongEntry& e : f.session->library) QCOMPARE(e.inBothLists, e.title == title ? 1 : 0);

  // Back from the card into the library: a second copy of the song under a name of its own.
  f.window->SelectEntries(ListSide::Card, {0});
  f.window->RunCommand(cmd::kTransferFromCard);
  QCOMPARE(f.session->library.size(), std::size_t{3});
  QCOMPARE(f.window->model(ListSide::Library)->rowCount(), 3);

  // Delete on the card list removes it from the card and from the list.
  f.window->SelectEntries(ListSide::Library, {});
  f.window->SelectEntries(ListSide::Card, {0});
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Yes));
  f.window->RunCommand(cmd::kDeleteSong);
  QCOMPARE(f.session->card.size(), std::size_t{0});
  QCOMPARE(f.window->model(ListSide::Card)->rowCount(), 0);
}

void CardFlowTest::pollFollowsTheCardDrive() {
  GuiFixture f(1, false);
  const std::string card = f.UseFolderCard();
  f.session->settings().WriteString("Settings", "PortBackend", "ppdev");
  f.session->settings().WriteInt("Settings", "CurrentLpt", 1);
  f.MakeWindow();
  ModalAnswerer answers;
  // The player was asked for and is not there: off-line, though a card reader can be read.
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Yes));
  f.window->FirstRunStep();
  QCOMPARE(f.session->linkMode, LinkMode::NoCard);
  for (int i = 0; i < 5; ++i) f.window->StatusPoll();
  f.session->card.push_back(SongEntry{});  // a list left from a card seen before
  f.window->StatusPoll();                  // asks the drive on a thread of its own; the answer comes later
  QTRY_COMPARE_WITH_TIMEOUT(f.session->linkMode, LinkMode::CardReader, 5000);
  QCOMPARE(f.window->paneText(0), QString::fromStdString(card));
  // The card that appeared was read, not the list of the one before it.
  QCOMPARE(f.session->card.size(), std::size_t{0});
  QVERIFY(std::filesystem::exists(card + "/INDEX0.DAT"));

  std::filesystem::remove_all(card);
  f.window->StatusPoll();
  QTRY_COMPARE_WITH_TIMEOUT(f.session->linkMode, LinkMode::NoCard, 5000);
  QCOMPARE(f.window->paneText(0), QStringLiteral("No Drive"));
  QCOMPARE(f.window->paneText(3), QStringLiteral("No Drive"));
  QVERIFY(f.window->cardWarningVisible());

  // A drive that failed once is not asked again until Connect.
  MakeFolders(card);
  f.window->StatusPoll();
  QTest::qWait(300);
  f.window->StatusPoll();
  QCOMPARE(f.session->linkMode, LinkMode::NoCard);
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  f.window->FirstRunStep();
  QCOMPARE(f.session->linkMode, LinkMode::CardReader);
  QCOMPARE(f.window->paneText(0), QStringLiteral("CF-Drive"));
}

void CardFlowTest::cancelledPlayerStillShowsTheLibrary() {
  GuiFixture f(1, false);
  f.session->settings().WriteString("Settings", "PortBackend", "ppdev");
  f.session->settings().WriteInt("Settings", "CurrentLpt", 1);
  f.MakeWindow();
  ModalAnswerer answers;
  ImportDemo(f, {2});
  f.session->library.clear();
  f.window->RefreshLists();
  QCOMPARE(f.window->model(ListSide::Library)->rowCount(), 0);
  // Yes, but the port cannot be opened: the user is told and works off-line.
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Yes));
  f.window->FirstRunStep();
  QCOMPARE(f.session->linkMode, LinkMode::NoCard);
  QCOMPARE(f.window->paneText(0), QStringLiteral("No Drive"));
  QVERIFY(answers.Count(QStringLiteral("QMessageBox")) >= 2);
  QCOMPARE(f.window->model(ListSide::Library)->rowCount(), 1);
  QVERIFY(f.window->cardWarningVisible());
}

void CardFlowTest::deleteKeyRemovesLibrarySongsAfterYes() {
  GuiFixture f;
  ModalAnswerer answers;
  ImportDemo(f, {3, 4});
  QCOMPARE(f.session->library.size(), std::size_t{2});
  const std::string first = f.session->library[0].path;
  f.window->SelectEntries(ListSide::Library, {0});
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  QTest::keyClick(f.window->view(ListSide::Library), Qt::Key_Delete);
  QVERIFY(std::filesystem::exists(first));
  QVERIFY(answers.seen.last().contains(QStringLiteral("Number of songs that will be deleted: 1")));
  QVERIFY(answers.seen.last().contains(QStringLiteral("Delete songs from Hard Disk")));
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Yes));
  QTest::keyClick(f.window->view(ListSide::Library), Qt::Key_Delete);
  QVERIFY(!std::filesystem::exists(first));
  QCOMPARE(f.window->model(ListSide::Library)->rowCount(), 1);
  QCOMPARE(f.window->paneText(1), QStringLiteral("MF3 on Disk: 1"));
}
