#include "MainWindowTest.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include "GuiFixture.h"
#include "gui/Artwork.h"
#include "gui/CommandIds.h"
#include "gui/SongListModel.h"
#include "gui/Text.h"

using namespace sondesk;
using namespace sondesk::test;

namespace {
QStringList Titles(MainDlg& w, ListSide side) {
  QStringList out;
  SongListModel* m = w.model(side);
  for (int r = 0; r < m->rowCount(); ++r) out << m->data(m->index(r, 0), Qt::DisplayRole).toString();
  return out;
}
}  // namespace

void MainWindowTest::toolbarFollowsTheSelection() {
  GuiFixture f;
  f.AddLibrary("ALPHA");
  f.AddLibrary("BRAVO");
  f.AddCard("CHARLIE");
  f.session->linkMode = LinkMode::CardReader;  // a card that can be reached
  f.window->RefreshLists();
  QAction* editInfo = f.window->toolbarAction(cmd::kTbEditInfo);
  QAction* toCard = f.window->toolbarAction(cmd::kTbToCard);
  QAction* fromCard = f.window->toolbarAction(cmd::kTbFromCard);
  QAction* playlist = f.window->toolbarAction(cmd::kTbPlaylist);
  QVERIFY(editInfo && toCard && fromCard && playlist);

  QVERIFY(!editInfo->isEnabled());
  QVERIFY(!toCard->isEnabled());
  QVERIFY(!fromCard->isEnabled());

  f.window->SelectEntries(ListSide::Library, {0});
  QVERIFY(editInfo->isEnabled());
  QVERIFY(toCard->isEnabled());

  f.window->SelectEntries(ListSide::Library, {0, 1});
  QVERIFY(!editInfo->isEnabled());
  QVERIFY(toCard->isEnabled());

  f.window->SelectEntries(ListSide::Card, {0});
  QVERIFY(fromCard->isEnabled());

  // Without a card "to card" stays grey whatever is selected.
  f.session->linkMode = LinkMode::NoCard;
  f.window->RefreshLists();
  f.window->SelectEntries(ListSide::Library, {0});
  QVERIFY(editInfo->isEnabled());
  QVERIFY(!toCard->isEnabled());
  QVERIFY(!fromCard->isEnabled());

  // The tool tips are the message table's.
  QCOMPARE(editInfo->toolTip(), QStringLiteral("Edit info of the selected song on the Hard Disk"));
  QCOMPARE(editInfo->text(), QStringLiteral("edit info"));
}

void MainWindowTest::columnClicksSortTheList() {
  GuiFixture f;
  f.AddLibrary("CHARLIE", "Zeta");
  f.AddLibrary("ALPHA", "Yankee");
  f.AddLibrary("BRAVO", "Xray");
  f.window->RefreshLists();
  QCOMPARE(Titles(*f.window, ListSide::Library), (QStringList{"ALPHA", "BRAVO", "CHARLIE"}));
  QHeaderView* header = f.window->view(ListSide::Library)->header();
  // Title is the current column: a click turns it round, a second click back.
  Q_EMIT header->sectionClicked(0);
  QCOMPARE(Titles(*f.window, ListSide::Library), (QStringList{"CHARLIE", "BRAVO", "ALPHA"}));
  QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
  Q_EMIT header->sectionClicked(0);
  QCOMPARE(Titles(*f.window, ListSide::Library), (QStringList{"ALPHA", "BRAVO", "CHARLIE"}));
  // Another column sorts ascending, and the selection follows its songs.
  f.window->SelectEntries(ListSide::Library, {0});  // CHARLIE
  Q_EMIT header->sectionClicked(1);
  QCOMPARE(Titles(*f.window, ListSide::Library), (QStringList{"BRAVO", "ALPHA", "CHARLIE"}));
  QCOMPARE(header->sortIndicatorSection(), 1);
  QCOMPARE(f.window->SelectedEntries(ListSide::Library), (std::vector<std::size_t>{0}));
  // A refresh keeps the list's sort.
  f.window->RefreshLists();
  QCOMPARE(Titles(*f.window, ListSide::Library), (QStringList{"BRAVO", "ALPHA", "CHARLIE"}));
}

void MainWindowTest::titlesOnBothListsGetIconFour() {
  GuiFixture f;
  f.AddLibrary("VOLARE");
  f.AddLibrary("ONLY HERE");
  f.AddCard("VOLARE");
  f.AddCard("ONLY THERE");
  f.session->linkMode = LinkMode::CardReader;
  f.window->RefreshLists();
  const qint64 both = SongListIcon(4).cacheKey();
  const qint64 plain = SongListIcon(0).cacheKey();
  QVERIFY(both != plain);
  for (ListSide side : {ListSide::Library, ListSide::Card}) {
    SongListModel* m = f.window->model(side);
    QCOMPARE(m->rowCount(), 2);
    for (int r = 0; r < 2; ++r) {
      const QString title = m->data(m->index(r, 0), Qt::DisplayRole).toString();
      const qint64 key = m->data(m->index(r, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
      QCOMPARE(key, title == QLatin1String("VOLARE") ? both : plain);
    }
  }
  QCOMPARE(f.window->paneText(1), QStringLiteral("MF3 on Disk: 2"));
  QCOMPARE(f.window->paneText(2), QStringLiteral("MF3 on Card: 2"));
}

void MainWindowTest::noCardShowsNoDriveAndTheWarning() {
  GuiFixture f;
  f.AddCard("LEFT OVER");  // what a lost card left in memory is not shown
  f.AddLibrary("LEFT OVER");
  ModalAnswerer answers;
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  f.window->FirstRunStep();
  QCOMPARE(answers.Count(QStringLiteral("QMessageBox")), 1);
  QVERIFY(answers.seen[0].contains(QStringLiteral("Connect to SONVAR through the parallel cable?")));
  QCOMPARE(f.session->linkMode, LinkMode::NoCard);
  QCOMPARE(f.window->paneText(0), QStringLiteral("No Drive"));
  QCOMPARE(f.window->paneText(3), QStringLiteral("No Flash Card available"));
  QCOMPARE(f.window->model(ListSide::Card)->rowCount(), 0);
  // The library was read from its (empty) folder; a song on no shown card is on one list only.
  f.AddLibrary("LEFT OVER");
  f.session->card.clear();
  f.AddCard("LEFT OVER");
  f.window->RefreshLists();
  QCOMPARE(f.session->library[0].inBothLists, 0);
  QVERIFY(f.session->startupFinished);
  QVERIFY(f.window->cardWarningVisible());
  // The poll keeps it so, after its five quiet ticks.
  for (int i = 0; i < 5; ++i) f.window->StatusPoll();
  QCOMPARE(f.window->pollSkip(), 0);
  f.window->StatusPoll();
  QTest::qWait(50);
  QVERIFY(f.window->cardWarningVisible());
  QCOMPARE(f.session->linkMode, LinkMode::NoCard);
  QVERIFY(f.window->paneText(4).startsWith(QStringLiteral("Selected Objects=")));
}

void MainWindowTest::selectsSongsNotOnTheOtherList() {
  GuiFixture f;
  f.AddLibrary("A");
  f.AddLibrary("B");
  f.AddLibrary("C");
  f.AddLibrary("D");
  f.AddCard("B");
  f.AddCard("E");
  f.session->linkMode = LinkMode::CardReader;
  f.window->RefreshLists();
  f.window->SelectEntries(ListSide::Library, {1});
  f.window->RunCommand(cmd::kSelectNotOnCard);
  QCOMPARE(f.window->SelectedEntries(ListSide::Library), (std::vector<std::size_t>{0, 2, 3}));
  f.window->RunCommand(cmd::kSelectNotOnLibrary);
  QCOMPARE(f.window->SelectedEntries(ListSide::Card), (std::vector<std::size_t>{1}));
  f.window->RunCommand(cmd::kSelectAllLibrary);
  QCOMPARE(f.window->SelectedEntries(ListSide::Library).size(), std::size_t{4});
}

void MainWindowTest::menusAndPanesSpeakTheSettingsLanguage() {
  {
    GuiFixture f(4);
    QStringList titles;
    for (QAction* a : f.window->menuBar()->actions()) titles << a->text();
    QCOMPARE(titles, (QStringList{"&Archivo", "&Edición", "&Herramientas", "&Propiedades", "&?"}));
    QVERIFY(f.window->menuAction(cmd::kSaveDatabase)->text().contains(QStringLiteral("Guardar base de")));
  }
  {
    GuiFixture f(2);
    f.AddLibrary("UN");
    f.window->RefreshLists();
    QCOMPARE(f.window->paneText(1), Q(FormatText(MessageTable(2)[5], 1)));
    QVERIFY(f.window->paneText(1).startsWith(QStringLiteral("MF3 sur disquette")));
  }
}

void MainWindowTest::refreshesSixteenThousandSongsEach() {
  GuiFixture f;
  for (int i = 0; i < 16384; ++i) {
    SongEntry e;
    e.title = Format("SONG %05d", (i * 7919) % 16384);
    e.path = Format("/l/%05d.MF3", i);
    f.session->library.push_back(e);
    e.title = Format("SONG %05d", (i * 104729) % 16384);
    f.session->card.push_back(e);
  }
  f.session->linkMode = LinkMode::CardReader;
  QElapsedTimer t;
  t.start();
  f.window->RefreshLists();
  const qint64 ms = t.elapsed();
  qInfo("refresh of 2 x 16384 songs: %lld ms", static_cast<long long>(ms));
  QCOMPARE(f.window->model(ListSide::Library)->rowCount(), 16384);
  QCOMPARE(f.window->model(ListSide::Card)->rowCount(), 16384);
  QCOMPARE(f.window->paneText(2), QStringLiteral("MF3 on Card: 16384"));
}

void MainWindowTest::webQuestionOnlyWithAConfiguredSite() {
  GuiFixture f;
  f.session->settings().askInternet = 1;
  f.window->UpdateToolbarState();
  QVERIFY(!f.window->toolbarAction(cmd::kWww)->isEnabled());
  ModalAnswerer answers;
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  f.window->FirstRunStep();
  // No site configured: nothing to offer, only the connection question.
  QCOMPARE(answers.Count(QStringLiteral("QMessageBox")), 1);

  f.session->settings().deviceUrl = "http://127.0.0.1:9/songs";
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Cancel));
  f.window->FirstRunStep();
  QCOMPARE(answers.Count(QStringLiteral("QMessageBox")), 3);
  QVERIFY(answers.seen[2].contains(QStringLiteral("Internet Connection")));
  f.window->UpdateToolbarState();
  QVERIFY(f.window->toolbarAction(cmd::kWww)->isEnabled());
}

void MainWindowTest::keysAndNamesForEveryone() {
  GuiFixture f;
  // The lists move their cursor with Ctrl+Up and Ctrl+Down: no command may take those keys.
  for (QAction* a : f.window->findChildren<QAction*>()) {
    for (const QKeySequence& k : a->shortcuts()) {
      QVERIFY2(k != QKeySequence(Qt::CTRL | Qt::Key_Up) && k != QKeySequence(Qt::CTRL | Qt::Key_Down),
               qPrintable(a->text()));
    }
  }
  QCOMPARE(f.window->menuAction(cmd::kTransferToCard)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Down));
  QCOMPARE(f.window->menuAction(cmd::kTransferFromCard)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Up));
  // The desktop's own keys where it has them.
  QCOMPARE(f.window->menuAction(cmd::kImportFromPc)->shortcuts(), QKeySequence::keyBindings(QKeySequence::Open));
  // A desktop without a Quit key (the offscreen platform has none) keeps the program's own.
  const QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
  QCOMPARE(f.window->menuAction(cmd::kExit)->shortcuts(),
           quit.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Q)} : quit);
  QCOMPARE(f.window->menuAction(cmd::kFind)->shortcuts(), QKeySequence::keyBindings(QKeySequence::Find));

  // Names a screen reader can say.
  QCOMPARE(f.window->view(ListSide::Library)->accessibleName(), QStringLiteral("Songs on the computer"));
  QCOMPARE(f.window->view(ListSide::Card)->accessibleName(), QStringLiteral("Songs on the Compact Flash"));
  auto* toolbar = f.window->findChild<QToolBar*>(QStringLiteral("toolbar"));
  QVERIFY(toolbar != nullptr);
  QCOMPARE(toolbar->accessibleName(), QStringLiteral("Toolbar"));
  QWidget* toCard = f.window->findChild<QWidget*>(QStringLiteral("tbButton_1006"));
  QVERIFY(toCard != nullptr);
  QCOMPARE(toCard->accessibleName(), QStringLiteral("to card"));
  QVERIFY(toCard->accessibleDescription().contains(QStringLiteral("Hard Disk to the Compact Flash")));

  // The painted warning lines are the card list's description while they show.
  QVERIFY(f.window->view(ListSide::Card)->accessibleDescription().isEmpty());
  ModalAnswerer answers;
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  f.window->FirstRunStep();
  QVERIFY(f.window->cardWarningVisible());
  QVERIFY(f.window->view(ListSide::Card)->accessibleDescription().startsWith(
      QStringLiteral("Warning: It's not possible to perform any midifile transfer")));
}
