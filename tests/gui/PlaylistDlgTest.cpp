#include "PlaylistDlgTest.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScrollBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QComboBox>
#include <QDirIterator>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <fstream>
#include <set>
#include <tuple>

#include "GuiFixture.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/PlaylistFiles.h"
#include "catalogue/Playlists.h"
#include "gui/CommandIds.h"
#include "gui/DemoSongs.h"
#include "gui/ListPrinter.h"
#include "gui/OptionsDlg.h"
#include "gui/PlSelectDlg.h"
#include "gui/PlayListDlg.h"
#include "gui/SongListModel.h"
#include "gui/Text.h"

using namespace sondesk;
using namespace sondesk::test;

namespace {

QString ShotDir() {
  const QString dir = QStringLiteral(SONDESK_BINARY_DIR "/screenshots/playlists");
  QDir().mkpath(dir);
  return dir;
}

// The card as the command line sees it, beside the desktop program that has it open.
struct CardByCli {
  QStringList cardArgs;  // --port virtual:IMAGE or --card DIR
  QString windir;
  QString scratch;

  QString Run(const QStringList& args) const {
    QProcess p;
    p.start(QStringLiteral(SONDESK_CLI),
            QStringList{QStringLiteral("--windir"), windir, QStringLiteral("--lang"), QStringLiteral("1"),
                        QStringLiteral("--quiet")} +
                cardArgs + args);
    p.waitForFinished(60000);
    if (p.exitCode() != 0) qWarning() << args << p.readAllStandardError();
    return QString::fromUtf8(p.readAllStandardOutput());
  }
  // A root file's bytes: read in place on a reader's card, fetched through the player otherwise.
  QByteArray File(const QString& name) const {
    if (cardArgs.first() == QLatin1String("--card")) {
      QFile f(cardArgs.last() + QLatin1Char('/') + name);
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    const QString out = scratch + QLatin1Char('/') + name;
    QFile::remove(out);
    Run({QStringLiteral("fs"), QStringLiteral("get"), QString(), name, out});
    QFile f(out);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

QString Field(const QByteArray& b, int offset, int size) {
  const QByteArray part = b.mid(offset, size);
  const int end = part.indexOf('\0');
  return QString::fromLatin1(end < 0 ? part : part.left(end));
}

int U16(const QByteArray& b, int offset) {
  return static_cast<unsigned char>(b[offset]) | (static_cast<unsigned char>(b[offset + 1]) << 8);
}

// PLAYLIST.LST and every playlist file, read as the card holds them, against the command line's
// `playlist list` and the dialog's list.
bool CardAgrees(const CardByCli& card, const PlSelectDlg& dlg) {
  const QByteArray lst = card.File(QStringLiteral("PLAYLIST.LST"));
  if (lst.size() != 512) return false;
  int used = 0;
  while (used < 16 && lst[used * 32 + 24] != '\0') ++used;
  for (int i = used; i < 16; ++i) {
    if (lst.mid(i * 32, 32) != QByteArray(32, '\0')) return false;  // used entries come first
  }
  const QStringList lines = card.Run({QStringLiteral("playlist"), QStringLiteral("list")})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  if (lines.size() != used || dlg.list()->topLevelItemCount() != used) return false;
  for (int i = 0; i < used; ++i) {
    const QString name = Field(lst, i * 32, 24);
    const QString base = Field(lst, i * 32 + 24, 8);
    const QByteArray pll = card.File(base + QStringLiteral(".PLL"));
    if (pll.size() < 2) return false;
    const QString count = QString::number(U16(pll, 0));
    const QString expected = QStringLiteral("%1\t%2\t%3\t%4").arg(i + 1).arg(base, count, name);
    const QTreeWidgetItem* item = dlg.list()->topLevelItem(i);
    if (lines[i] != expected || item->text(0) != name || item->text(1) != count) {
      qWarning() << "card:" << expected << "cli:" << lines[i] << "dialog:" << item->text(0) << item->text(1);
      return false;
    }
  }
  return true;
}

// The playlist in slot `n` (from 1) as the file holds it and as `playlist show` lists it, against
// the editor's songs.
bool PlaylistAgrees(const CardByCli& card, int n, const QString& base, const PlayListDlg& editor) {
  const QByteArray pll = card.File(base + QStringLiteral(".PLL"));
  const auto& songs = editor.edit().songs;
  if (pll.size() != 502 || U16(pll, 0) != static_cast<int>(songs.size())) return false;
  for (int i = static_cast<int>(songs.size()); i < 250; ++i) {
    if (U16(pll, 2 + 2 * i) != 0) return false;
  }
  const QStringList lines = card.Run({QStringLiteral("playlist"), QStringLiteral("show"), QString::number(n)})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  if (lines.size() != static_cast<int>(songs.size())) return false;
  for (int i = 0; i < lines.size(); ++i) {
    const QStringList f = lines[i].split(QLatin1Char('\t'));
    if (f.size() < 2 || f[0].toInt() != i || f[1].toUInt() != songs[static_cast<std::size_t>(i)].songNumber())
      return false;
  }
  return true;
}

std::vector<unsigned> Numbers(const PlayListDlg& editor) {
  std::vector<unsigned> v;
  for (const SongEntry& e : editor.edit().songs) v.push_back(e.songNumber());
  return v;
}

void SelectUpper(PlayListDlg& editor, int first, int count) {
  QTreeView* v = editor.upperView();
  v->clearSelection();
  for (int r = first; r < first + count; ++r) {
    v->selectionModel()->select(v->model()->index(r, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

QPoint RowPoint(QTreeView* v, int row, int dy = 0) {
  const QRect r = v->visualRect(v->model()->index(row, 0));
  return QPoint(r.left() + 10, r.center().y() + dy);
}

void PutDemoSongsOnCard(GuiFixture& f, int n) {
  std::vector<std::string> paths;
  MakeFolders(f.Dir("in"));
  for (int i = 0; i < n; ++i) {
    const std::string p = f.Dir("in") + "/" + DemoSongList()[static_cast<std::size_t>(i)].fileName;
    const std::vector<std::uint8_t> b = DemoSongFile(static_cast<std::size_t>(i));
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    paths.push_back(p);
  }
  f.window->ImportFiles(paths);
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < f.session->library.size(); ++i) all.push_back(i);
  QCOMPARE(f.window->CopyToCard(all), 1);
}

// The whole round of both dialogs on whatever card the window reaches now.
void DriveBothDialogs(GuiFixture& f, ModalAnswerer& answers, const CardByCli& card, const QString& paneMode,
                      const QString& shotName) {
  // The command opens the list of playlists; Exit closes it.
  answers.Push(ModalAnswerer::Click("exit"));
  f.window->RunCommand(cmd::kTbPlaylist);
  QVERIFY(answers.seen.last().startsWith(QStringLiteral("PlSelectDlg|SonVar - List of playlists|")));

  Catalogue* cat = f.window->card().CatalogueNow();
  QVERIFY(cat != nullptr);
  ReadTitleIndexImage(*cat);
  PlSelectDlg dlg(*cat, f.window.get());
  dlg.show();
  QTreeWidget* list = dlg.list();
  QCOMPARE(list->headerItem()->text(0), QStringLiteral("Playlist Name"));
  QCOMPARE(list->header()->sectionSize(0), 300);
  QCOMPARE(list->header()->sectionSize(1), 70);
  // A fresh card: 16 playlists, and New is refused.
  QCOMPARE(list->topLevelItemCount(), 16);
  QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("PlayList 01"));
  dlg.OnNew();
  QVERIFY(answers.seen.last().contains(QStringLiteral("It's not possible to create more than 16 Playlists.")));
  QCOMPARE(list->topLevelItemCount(), 16);
  QVERIFY(CardAgrees(card, dlg));

  // The Delete key on PLAY3, confirmed: fifteen left, the later ones moved up.
  list->setCurrentItem(list->topLevelItem(2));
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Delete);
  QVERIFY(answers.seen.last().contains(QStringLiteral("Do you want to delete the Playlist: PlayList 03?")));
  QCOMPARE(list->topLevelItemCount(), 15);
  QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("PlayList 04"));
  QVERIFY(card.File(QStringLiteral("PLAY3.PLL")).isEmpty());
  QVERIFY(CardAgrees(card, dlg));

  // New makes PLAY3 again, in the last slot, and opens its name for editing: 30 characters typed
  // keep 23.
  dlg.OnNew();
  QCOMPARE(list->topLevelItemCount(), 16);
  QCOMPARE(cat->playlists.slots[15].baseName, std::string("PLAY3"));
  QCOMPARE(list->topLevelItem(15)->text(0), QStringLiteral("New Playlist"));
  QLineEdit* editLine = list->findChild<QLineEdit*>();
  QVERIFY(editLine != nullptr);
  editLine->setText(QStringLiteral("Thirty characters for a name!!"));
  QTest::keyClick(editLine, Qt::Key_Return);
  QTRY_COMPARE(list->topLevelItem(15)->text(0), QStringLiteral("Thirty characters for a"));
  QVERIFY(CardAgrees(card, dlg));
  // Rename ended without text: nothing changes.
  list->setCurrentItem(list->topLevelItem(15));
  dlg.OnRename();
  editLine = list->findChild<QLineEdit*>();
  QVERIFY(editLine != nullptr);
  editLine->clear();
  QTest::keyClick(editLine, Qt::Key_Return);
  QTRY_VERIFY(list->findChild<QLineEdit*>() == nullptr || !list->findChild<QLineEdit*>()->isVisible());
  QCOMPARE(list->topLevelItem(15)->text(0), QStringLiteral("Thirty characters for a"));
  QVERIFY(CardAgrees(card, dlg));
  dlg.grab().save(ShotDir() + QStringLiteral("/PlSelectDlg-") + shotName + QStringLiteral(".png"));

  // The editor of the new playlist.
  const std::size_t cardSongs = f.session->card.size();
  QRect placed;
  dlg.onEditorOpen = [&](PlayListDlg& ed) {
    ed.resize(900, 760);
    QCOMPARE(ed.windowTitle(), QStringLiteral("Sondesk - Edit Playlist:  Thirty characters for a"));
    QCOMPARE(ed.paneText(0), paneMode);
    QCOMPARE(ed.paneText(1), QStringLiteral("MF3 on Card: %1").arg(cardSongs));
    QCOMPARE(ed.paneText(2), QStringLiteral("MF3 on Playlist: 0"));
    QCOMPARE(ed.lowerView()->palette().color(QPalette::Base), QColor(224, 240, 255));
    QCOMPARE(ed.action("beginning")->toolTip(), QStringLiteral("Add the selected songs to the beginning of the Playlist"));
    const int n = static_cast<int>(cardSongs);

    // The end, then the beginning.
    SelectUpper(ed, 0, 2);
    ed.action("end")->trigger();
    SelectUpper(ed, n - 1, 1);
    ed.action("beginning")->trigger();
    const unsigned last = f.session->card[static_cast<std::size_t>(ed.upperModel()->EntryAt(n - 1))].songNumber();
    QCOMPARE(ed.edit().songs.size(), std::size_t{3});
    QCOMPARE(ed.edit().songs[0].songNumber(), last);
    QCOMPARE(ed.paneText(2), QStringLiteral("Songs on Playlist: 3"));
    QVERIFY(PlaylistAgrees(card, 16, QStringLiteral("PLAY3"), ed));

    // A double click above adds at the end.
    QTest::mouseDClick(ed.upperView()->viewport(), Qt::LeftButton, {}, RowPoint(ed.upperView(), 1));
    QCOMPARE(ed.edit().songs.size(), std::size_t{4});

    // Dragged from above onto the gap under the first row of the playlist.
    SelectUpper(ed, 0, 1);
    const unsigned dragged = f.session->card[static_cast<std::size_t>(ed.upperModel()->EntryAt(0))].songNumber();
    QWidget* up = ed.upperView()->viewport();
    QWidget* down = ed.lowerView()->viewport();
    QTest::mousePress(up, Qt::LeftButton, {}, RowPoint(ed.upperView(), 0));
    QTest::mouseMove(up, RowPoint(ed.upperView(), 0) + QPoint(0, 20));
    QVERIFY(ed.dragging());
    const QPoint gap1 = RowPoint(ed.lowerView(), 1, -3);
    QTest::mouseMove(down, gap1);
    QVERIFY(ed.insertionLine()->isVisible());
    QCOMPARE(ed.insertionLine()->height(), 1);
    QCOMPARE(ed.insertionLine()->y(), ed.lowerView()->visualRect(ed.lowerView()->model()->index(1, 0)).top());
    QTest::mouseRelease(down, Qt::LeftButton, {}, gap1);
    QVERIFY(!ed.dragging());
    QCOMPARE(ed.edit().songs.size(), std::size_t{5});
    QCOMPARE(ed.edit().songs[1].songNumber(), dragged);
    QVERIFY(PlaylistAgrees(card, 16, QStringLiteral("PLAY3"), ed));
    // A drag that starts on a row not yet selected takes that row, dropped at the end, and the list
    // above answers clicks as before.
    ed.upperView()->clearSelection();
    const unsigned second = f.session->card[static_cast<std::size_t>(ed.upperModel()->EntryAt(1))].songNumber();
    QTest::mousePress(up, Qt::LeftButton, {}, RowPoint(ed.upperView(), 1));
    QTest::mouseMove(up, RowPoint(ed.upperView(), 1) + QPoint(0, 20));
    QTest::mouseMove(down, QPoint(10, down->height() - 5));
    QTest::mouseRelease(down, Qt::LeftButton, {}, QPoint(10, down->height() - 5));
    QCOMPARE(ed.edit().songs.size(), std::size_t{6});
    QCOMPARE(ed.edit().songs.back().songNumber(), second);
    QTest::mouseClick(up, Qt::LeftButton, {}, RowPoint(ed.upperView(), 0));
    QCOMPARE(ed.upperView()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(ed.upperView()->selectionModel()->selectedRows().first().row(), 0);

    // Ten songs; the first three dragged to position 9 land on 7, 8 and 9.
    while (ed.edit().songs.size() < 10) {
      SelectUpper(ed, 0, std::min(n, 10 - static_cast<int>(ed.edit().songs.size())));
      ed.action("end")->trigger();
    }
    QCOMPARE(ed.edit().songs.size(), std::size_t{10});
    const std::vector<unsigned> before = Numbers(ed);
    ed.SelectPlaylistRows({0, 1, 2});
    QTreeView* lv = ed.lowerView();
    QTest::mousePress(down, Qt::LeftButton, {}, RowPoint(lv, 1));
    QTest::mouseMove(down, RowPoint(lv, 1) + QPoint(0, 12));
    const QPoint gap9 = RowPoint(lv, 9, -3);
    QTest::mouseMove(down, gap9);
    QCOMPARE(ed.InsertionRowAt(gap9), std::size_t{9});
    {
      // The line is drawn red, one pixel high, on the boundary of row 9.
      const int lineY = lv->visualRect(lv->model()->index(9, 0)).top();
      const QImage seen = down->grab().toImage();
      QCOMPARE(seen.pixelColor(40, lineY), QColor(Qt::red));
      QVERIFY(seen.pixelColor(40, lineY + 1) != QColor(Qt::red));
    }
    ed.grab().save(ShotDir() + QStringLiteral("/PlayListDlg-") + shotName + QStringLiteral(".png"));
    QTest::mouseRelease(down, Qt::LeftButton, {}, gap9);
    std::vector<unsigned> expected(before.begin() + 3, before.end());
    expected.insert(expected.end(), before.begin(), before.begin() + 3);
    QCOMPARE(Numbers(ed), expected);
    QVERIFY(PlaylistAgrees(card, 16, QStringLiteral("PLAY3"), ed));
    // Below the list the timer scrolls it; releasing outside changes nothing.
    QTest::mousePress(down, Qt::LeftButton, {}, RowPoint(lv, 8));
    QTest::mouseMove(down, RowPoint(lv, 8) + QPoint(0, 12));
    QTest::mouseMove(down, QPoint(10, down->height() + 40));
    QTest::qWait(250);
    QTest::mouseRelease(down, Qt::LeftButton, {}, QPoint(10, down->height() + 40));
    QCOMPARE(Numbers(ed), expected);

    // Up to 249, then 2 more are refused and 1 is taken.
    while (ed.edit().songs.size() + cardSongs <= 249) {
      SelectUpper(ed, 0, n);
      ed.action("end")->trigger();
    }
    const int rest = 249 - static_cast<int>(ed.edit().songs.size());
    if (rest > 0) {
      SelectUpper(ed, 0, rest);
      ed.action("end")->trigger();
    }
    QCOMPARE(ed.edit().songs.size(), std::size_t{249});
    SelectUpper(ed, 0, 2);
    ed.action("end")->trigger();
    QVERIFY(answers.seen.last().contains(QStringLiteral("The Playlist cannot contain more than 250 songs")));
    QCOMPARE(ed.edit().songs.size(), std::size_t{249});
    SelectUpper(ed, 0, 1);
    ed.action("end")->trigger();
    QCOMPARE(ed.edit().songs.size(), std::size_t{250});
    QVERIFY(PlaylistAgrees(card, 16, QStringLiteral("PLAY3"), ed));
    // Held below the playlist, a drag scrolls it every 100 ms; let go there, it changes nothing.
    {
      const std::vector<unsigned> held = Numbers(ed);
      lv->scrollToTop();
      ed.SelectPlaylistRows({0});
      QTest::mousePress(down, Qt::LeftButton, {}, RowPoint(lv, 0));
      QTest::mouseMove(down, RowPoint(lv, 0) + QPoint(0, 12));
      QTest::mouseMove(down, QPoint(10, down->height() + 30));
      QTRY_VERIFY_WITH_TIMEOUT(lv->verticalScrollBar()->value() >= 3, 2000);
      QTest::mouseRelease(down, Qt::LeftButton, {}, QPoint(10, down->height() + 30));
      QVERIFY(!ed.dragging());
      QCOMPARE(Numbers(ed), held);
    }

    // The Delete key asks with the count; No keeps them, Yes removes them.
    ed.SelectPlaylistRows({0, 4});
    lv->setFocus();
    answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
    QTest::keyClick(lv, Qt::Key_Delete);
    QVERIFY(answers.seen.last().contains(QStringLiteral("You selected 2 songs from the Playlist\nDo you wish to delete them?")));
    QCOMPARE(ed.edit().songs.size(), std::size_t{250});
    QTest::keyClick(lv, Qt::Key_Delete);
    QCOMPARE(ed.edit().songs.size(), std::size_t{248});
    QCOMPARE(ed.paneText(2), QStringLiteral("Songs on Playlist: 248"));
    QVERIFY(PlaylistAgrees(card, 16, QStringLiteral("PLAY3"), ed));

    // A heading click sorts the card's songs; a second one reverses them.
    QHeaderView* h = ed.upperView()->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionPosition(0) + 5, h->height() / 2));
    const QString firstUp = ed.upperModel()->index(0, 0).data().toString();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionPosition(0) + 5, h->height() / 2));
    QCOMPARE(ed.upperModel()->index(n - 1, 0).data().toString(), firstUp);

    ed.upperView()->header()->resizeSection(0, 123);
    ed.lowerView()->header()->resizeSection(2, 77);
    ed.move(40, 30);
    placed = ed.geometry();
  };
  // A double click opens the editor.
  const QPoint item15 = list->visualItemRect(list->topLevelItem(15)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item15);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, item15);
  QVERIFY(placed.isValid());
  // The counts are read again when the editor closes.
  QCOMPARE(list->topLevelItem(15)->text(1), QStringLiteral("248"));
  QVERIFY(CardAgrees(card, dlg));

  // The editor's rectangle and column widths went to Sondesk.INI.
  Settings again(f.session->settings().iniPath());
  again.Load();
  QCOMPARE(QRect(again.leftPl, again.topPl, again.widthPl, again.heightPl), placed);
  QCOMPARE(again.ReadWidths("Listpl1_Width", kDefaultColumnWidths)[0], 123);
  QCOMPARE(again.ReadWidths("Listpl2_Width", kCardColumnWidths)[2], 77);
}

// The window over a virtual player's card (which the player's first start formats), with `songs`
// demo songs on it. The card image's path.
std::string StartOnVirtualPlayer(GuiFixture& f, ModalAnswerer& answers, int songs) {
  const std::string image = f.Dir("card.img");
  f.session->settings().WriteString("Settings", "PortBackend", "virtual");
  f.session->settings().WriteString("Settings", "VirtualCard", image);
  // The format that the virtual player's first start runs needs the shipped boot sector template.
  f.session->settings().WriteString("Settings", "Installpath", SONDESK_PROGRAM_DIR);
  f.session->SetProgramDir(SONDESK_PROGRAM_DIR);
  f.MakeWindow();
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Yes));
  f.window->FirstRunStep();
  [&] { QVERIFY2(f.session->linkMode == LinkMode::Player, qPrintable(answers.seen.join(QLatin1Char('\n')))); }();
  PutDemoSongsOnCard(f, songs);
  return image;
}

// The window over a card reader's card as the format leaves it (the catalogue with its sixteen
// playlists), with `songs` demo songs on it. The card folder.
std::string StartOnReaderCard(GuiFixture& f, ModalAnswerer& answers, int songs) {
  const std::string dir = f.UseFolderCard();
  f.MakeWindow();
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  f.window->FirstRunStep();
  [&] { QCOMPARE(f.session->linkMode, LinkMode::CardReader); }();
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::Yes));
  f.window->RunCommand(cmd::kFormatCard);
  [&] { QVERIFY(IsFile(dir + "/PLAYLIST.LST")); }();
  PutDemoSongsOnCard(f, songs);
  return dir;
}

}  // namespace

void PlaylistDlgTest::editsPlaylistsOnAVirtualPlayerCard() {
  GuiFixture f(1, false);
  ModalAnswerer answers;
  const std::string image = StartOnVirtualPlayer(f, answers, 4);
  QVERIFY(!QTest::currentTestFailed());
  MakeFolders(f.Dir("cli"));
  CardByCli card{{QStringLiteral("--port"), QStringLiteral("virtual:") + PathQ(image)},
                 PathQ(f.Dir("cliwin")), PathQ(f.Dir("cli"))};
  DriveBothDialogs(f, answers, card, QStringLiteral("SONVAR-PP"), QStringLiteral("player"));
}

void PlaylistDlgTest::editsPlaylistsOnACardReaderCard() {
  GuiFixture f(1, false);
  ModalAnswerer answers;
  const std::string dir = StartOnReaderCard(f, answers, 3);
  QVERIFY(!QTest::currentTestFailed());
  CardByCli card{{QStringLiteral("--card"), PathQ(dir)}, PathQ(f.Dir("cliwin")), PathQ(f.Dir("cli"))};
  DriveBothDialogs(f, answers, card, QStringLiteral("CF-Drive"), QStringLiteral("reader"));
}

namespace {

// Another program's write lock on the card: flock on an open of its own, which the program's own
// lock (its own open of the same folder or image) cannot share.
struct ForeignLock {
  explicit ForeignLock(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  }
  ~ForeignLock() { Release(); }
  void Release() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fd;
  bool held = false;
};

// Every file under `root` with its bytes: a reader's card folder, or one image file.
std::map<QString, QByteArray> Snapshot(const std::string& root) {
  std::map<QString, QByteArray> out;
  auto add = [&](const QString& path) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) out[path] = f.readAll();
  };
  if (IsFile(root)) {
    add(PathQ(root));
    return out;
  }
  QDirIterator it(PathQ(root), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) add(it.next());
  return out;
}

// The playlist and option writes of the dialogs, and a transfer of the main window, tried while
// another program holds the card: each is refused by the card's name with the lock's own words and
// the card stays byte for byte as it was; once the other program is gone the same write goes through.
void DialogWritesWaitForTheCard(GuiFixture& f, ModalAnswerer& answers, const std::string& held) {
  Catalogue* cat = f.window->card().CatalogueNow();
  QVERIFY(cat != nullptr);
  ReadTitleIndexImage(*cat);
  ReadPlaylistIndex(*cat);
  // Room for a new playlist, and two songs in the first one, before the other program comes.
  QCOMPARE(DeletePlaylist(*cat, 15), 1);
  PlaylistEdit first;
  QCOMPARE(LoadPlaylist(*cat, cat->playlists.slots[0].baseName, first), 1);
  QCOMPARE(AddSongsToPlaylist(*cat, first, {0, 1}, 0), 1);
  const std::map<QString, QByteArray> before = Snapshot(held);
  QVERIFY(!before.empty());

  qputenv("SONDESK_LOCK_WAIT_MS", "100");
  ForeignLock other(held);
  QVERIFY(other.held);
  const QString words =
      QStringLiteral("the card (%1) is being changed by another SonDesk program or command").arg(PathQ(held));
  auto refused = [&] {
    const bool told = !answers.seen.isEmpty() && answers.seen.last().contains(words);
    if (!told) qWarning() << answers.seen;
    answers.seen.clear();
    return told;
  };

  PlSelectDlg dlg(*cat, f.window.get());
  dlg.show();
  QTreeWidget* list = dlg.list();
  QCOMPARE(list->topLevelItemCount(), 15);
  answers.seen.clear();
  dlg.OnNew();
  QVERIFY(refused());
  QCOMPARE(list->topLevelItemCount(), 15);
  list->setCurrentItem(list->topLevelItem(2));
  dlg.OnDelete();  // confirmed, then refused
  QVERIFY(refused());
  QCOMPARE(list->topLevelItemCount(), 15);
  list->topLevelItem(1)->setText(0, QStringLiteral("Renamed"));  // what an ended edit does
  QVERIFY(refused());
  QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("PlayList 02"));

  bool editorRan = false;
  dlg.onEditorOpen = [&](PlayListDlg& ed) {
    editorRan = true;
    QCOMPARE(ed.edit().songs.size(), std::size_t{2});
    SelectUpper(ed, 0, 1);
    ed.action("end")->trigger();
    QVERIFY(refused());
    ed.action("beginning")->trigger();
    QVERIFY(refused());
    QCOMPARE(ed.edit().songs.size(), std::size_t{2});
    QCOMPARE(ed.paneText(2), QStringLiteral("MF3 on Playlist: 2"));
    ed.SelectPlaylistRows({1});
    ed.DeleteSelected();  // confirmed, then refused
    QVERIFY(refused());
    QCOMPARE(ed.edit().songs.size(), std::size_t{2});
  };
  list->setCurrentItem(list->topLevelItem(0));
  dlg.OnOpen();
  QVERIFY(editorRan);

  {
    OptionsDlg options(*cat, f.window.get());
    QVERIFY(options.opened());
    options.show();
    options.listOf(9)->setCurrentIndex(2);
    QMetaObject::invokeMethod(&options, "accept");
    QVERIFY(refused());
    // Still open with the choice, for OK again or Cancel.
    QVERIFY(options.isVisible());
    QCOMPARE(options.listOf(9)->currentIndex(), 2);
    options.reject();
  }

  // The main window's own writes take the same lock.
  std::vector<std::size_t> all;
  for (std::size_t i = 0; i < f.session->library.size(); ++i) all.push_back(i);
  QCOMPARE(f.window->CopyToCard(all), 0);
  QVERIFY(refused());

  QVERIFY(Snapshot(held) == before);

  // The other program is gone: the same rename goes through.
  other.Release();
  list->topLevelItem(1)->setText(0, QStringLiteral("Renamed"));
  QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("Renamed"));
  QVERIFY(answers.seen.filter(words).isEmpty());
  QVERIFY(Snapshot(held) != before);
  ReadPlaylistIndex(*cat);
  QCOMPARE(cat->playlists.slots[1].displayName, std::string("Renamed"));
  qunsetenv("SONDESK_LOCK_WAIT_MS");
}

}  // namespace

void PlaylistDlgTest::dialogWritesWaitForAnotherProgramOnAReaderCard() {
  GuiFixture f(1, false);
  ModalAnswerer answers;
  const std::string dir = StartOnReaderCard(f, answers, 3);
  QVERIFY(!QTest::currentTestFailed());
  DialogWritesWaitForTheCard(f, answers, dir);
}

void PlaylistDlgTest::dialogWritesWaitForAnotherProgramOnAPlayerCard() {
  GuiFixture f(1, false);
  ModalAnswerer answers;
  const std::string image = StartOnVirtualPlayer(f, answers, 3);
  QVERIFY(!QTest::currentTestFailed());
  DialogWritesWaitForTheCard(f, answers, image);
  QVERIFY(!QTest::currentTestFailed());

  // Another program adds a song while the window has the card: the window's next card write is
  // refused (its list and FAT are not the card's any more) and its card list is read again.
  const std::string otherLibrary = f.Dir("otherlib");
  MakeFolders(otherLibrary);
  QVERIFY(QFile::copy(PathQ(f.session->library[0].path), PathQ(otherLibrary + "/OTHER.MF3")));
  MakeFolders(f.Dir("cli"));
  CardByCli other{{QStringLiteral("--port"), QStringLiteral("virtual:") + PathQ(image)}, PathQ(f.Dir("cliwin")),
                  PathQ(f.Dir("cli"))};
  other.Run({QStringLiteral("--yes"), QStringLiteral("--library"), PathQ(otherLibrary), QStringLiteral("card"),
             QStringLiteral("to"), QStringLiteral("--all")});
  const std::size_t before = f.session->card.size();
  answers.seen.clear();
  QCOMPARE(f.window->CopyToCard({0}), 0);
  QVERIFY(!answers.seen.isEmpty() &&
          answers.seen.last().contains(QStringLiteral("changed by another program after its list was read")));
  QCOMPARE(f.session->card.size(), before + 1);
  QCOMPARE(f.window->CopyToCard({0}), 1);
  QCOMPARE(f.session->card.size(), before + 2);
}

namespace {

// What pdftotext reads of a page (from 1) or of the whole file.
QString PdfText(const QString& pdf, int page = 0, bool bbox = false, bool layout = false) {
  QStringList args;
  if (layout) args << QStringLiteral("-layout");
  if (page > 0) args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
  if (bbox) args << QStringLiteral("-bbox");
  args << pdf << QStringLiteral("-");
  QProcess p;
  p.start(QStringLiteral("pdftotext"), args);
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString& pdf) {
  QProcess p;
  p.start(QStringLiteral("pdfinfo"), {pdf});
  p.waitForFinished(60000);
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(p.readAllStandardOutput()));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The width of the word "Titolo" on page 1 as a share of the page's width.
double HeadingShare(const QString& pdf) {
  const QString html = PdfText(pdf, 1, true);
  const QRegularExpressionMatch page = QRegularExpression(QStringLiteral("<page width=\"([\\d.]+)\"")).match(html);
  const QRegularExpressionMatch word = QRegularExpression(
      QStringLiteral("xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">Titolo<")).match(html);
  if (!page.hasMatch() || !word.hasMatch()) return -1;
  return (word.captured(2).toDouble() - word.captured(1).toDouble()) / page.captured(1).toDouble();
}

PrintJob RowsJob(int n) {
  PrintJob job;
  job.title = QStringLiteral("Lista delle song su Compact Flash");
  job.pageFormat = QStringLiteral("Page %d of %d");
  job.date = QStringLiteral("08/12/2026");
  for (int i = 1; i <= n; ++i) job.rows.push_back({QStringLiteral("Song%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("Singer"), QStringLiteral("Pop")});
  return job;
}

void PdfPrinter(QPrinter& printer, const QString& file, int dpi, QPageLayout::Orientation o) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  printer.setResolution(dpi);
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), o, QMarginsF(0, 0, 0, 0)));
  printer.setFullPage(true);
}

}  // namespace

void PlaylistDlgTest::printsPagesAsTheListHoldsThem() {
  QTemporaryDir dir;
  // 24 dots an inch on A4 gives 31 lines a page: 30 rows, 30 rows, 1 row.
  {
    const QString out = dir.filePath(QStringLiteral("61.pdf"));
    QPrinter printer;
    PdfPrinter(printer, out, 24, QPageLayout::Portrait);
    QCOMPARE(ComputePrintLayout(printer.width(), printer.height()).linesPerPage, 31);
    QCOMPARE(PaintSongPages(printer, RowsJob(61)), 3);
    QVERIFY(QFile::exists(out));
    QCOMPARE(PdfPages(out), 3);
    const int perPage[] = {30, 30, 1};
    int next = 1;
    for (int page = 1; page <= 3; ++page) {
      const QString text = PdfText(out, page);
      QCOMPARE(text.count(QRegularExpression(QStringLiteral("Song\\d\\d\\d"))), perPage[page - 1]);
      QVERIFY(text.contains(QStringLiteral("Song%1").arg(next, 3, 10, QLatin1Char('0'))));
      QVERIFY(text.contains(QStringLiteral("Page %1 of 3").arg(page)));
      next += perPage[page - 1];
    }
  }
  // Letters W/120 wide upright and W/175 across: the same heading takes a smaller share of a
  // landscape page.
  double share[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const QString out = dir.filePath(QStringLiteral("o%1.pdf").arg(i));
    QPrinter printer;
    PdfPrinter(printer, out, 150, i == 0 ? QPageLayout::Portrait : QPageLayout::Landscape);
    QCOMPARE(PaintSongPages(printer, RowsJob(5)), 1);
    share[i] = HeadingShare(out);
    QVERIFY(share[i] > 0);
  }
  // "Titolo": six letters of about W/120 (or W/175) each.
  QVERIFY2(share[0] > 0.6 * 6 / 120 && share[0] < 1.4 * 6 / 120, qPrintable(QString::number(share[0])));
  QVERIFY2(share[1] > 0.6 * 6 / 175 && share[1] < 1.4 * 6 / 175, qPrintable(QString::number(share[1])));
  QVERIFY(share[1] < share[0] * 0.8);
  // An empty list: not a sheet.
  {
    const QString out = dir.filePath(QStringLiteral("empty.pdf"));
    QPrinter printer;
    PdfPrinter(printer, out, 24, QPageLayout::Portrait);
    QCOMPARE(PaintSongPages(printer, RowsJob(0)), 0);
    QVERIFY(!QFile::exists(out));
  }
}

void PlaylistDlgTest::printDialogChoosesTheListOnItsFace() {
  {
    // The preview shows the pages that will print, and Cancel prints nothing.
    QTemporaryDir dir;
    QPrinter printer;
    PdfPrinter(printer, dir.filePath(QStringLiteral("p.pdf")), 24, QPageLayout::Portrait);
    ModalAnswerer answers;
    int pages = -1;
    answers.Push([&pages](QWidget* w) {
      if (auto* preview = w->findChild<QPrintPreviewWidget*>()) pages = preview->pageCount();
      w->findChild<QAbstractButton*>(QStringLiteral("cancel"))->click();
    });
    QVERIFY(!ShowPrintPreview(printer, RowsJob(61), nullptr));
    QCOMPARE(pages, 3);
  }
  QPrinter printer;
  for (bool card : {true, false}) {
    std::unique_ptr<QPrintDialog> dlg(MakePrintDialog(printer, card, nullptr));
    dlg->show();
    QWidget* choice = dlg->findChild<QWidget*>(QStringLiteral("listChoice"));
    QVERIFY(choice != nullptr);
    // On the face: shown as soon as the dialog is, with no "Options" page to open first.
    QVERIFY(choice->isVisible());
    auto* sonFlash = choice->findChild<QRadioButton*>(QStringLiteral("sonFlash"));
    QCOMPARE(sonFlash->isVisible(), card);
    QCOMPARE(PrintDialogChoseLibrary(*dlg), !card);
    if (card) dlg->grab().save(ShotDir() + QStringLiteral("/PrintDialog.png"));
    dlg->reject();
  }
}

void PlaylistDlgTest::printCommandPrintsTheLibraryWithoutACard() {
  // A zone whose calendar differs from Greenwich's right now, so the printed date tells them apart.
  const QByteArray zoneBefore = qgetenv("TZ");
  qputenv("TZ", QDateTime::currentDateTimeUtc().time().hour() >= 10 ? "Pacific/Kiritimati" : "Pacific/Pago_Pago");
  tzset();
  struct RestoreZone {
    QByteArray zone;
    ~RestoreZone() {
      if (zone.isEmpty()) qunsetenv("TZ"); else qputenv("TZ", zone);
      tzset();
    }
  } restore{zoneBefore};
  QVERIFY(QDate::currentDate() != QDateTime::currentDateTimeUtc().date());
  GuiFixture f;
  f.session->linkMode = LinkMode::NoCard;
  f.AddLibrary("Volare", "Modugno", "Pop");
  f.AddLibrary("Azzurro", "Celentano", "Pop");
  f.AddLibrary("Mare", "Nessuno", "Liscio");
  f.window->RefreshLists();
  const QString out = PathQ(f.Dir("printed.pdf"));
  ModalAnswerer answers;
  bool sonFlashShown = true;
  answers.Push([&](QWidget* w) {
    sonFlashShown = w->findChild<QRadioButton*>(QStringLiteral("sonFlash"))->isVisible();
    w->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(out);
    QMetaObject::invokeMethod(w, "accept");
  });
  answers.Push(ModalAnswerer::Click("ok"));
  f.window->RunCommand(cmd::kPrint);
  QVERIFY2(answers.seen.size() == 2 && answers.seen[1].startsWith(QStringLiteral("QDialog|Lista delle song su Hard Disk")),
           qPrintable(answers.seen.join(QLatin1Char('\n'))));
  QVERIFY(!sonFlashShown);
  QCOMPARE(PdfPages(out), 1);
  const QString text = PdfText(out, 0, false, true);
  // The library, in the order its list shows it, dated on the desk's own calendar.
  const int a = text.indexOf(QStringLiteral("Azzurro")), m = text.indexOf(QStringLiteral("Mare")),
            v = text.indexOf(QStringLiteral("Volare"));
  QVERIFY(a > 0 && a < m && m < v);
  QVERIFY(text.contains(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));
  QVERIFY(text.contains(QStringLiteral("Page 1 of 1")));
}

void PlaylistDlgTest::songbookOfADemoCard() {
  GuiFixture f(1, false);
  f.UseFolderCard();
  f.MakeWindow();
  f.session->linkMode = LinkMode::CardReader;
  // 500 songs: 20 initials of 25 songs each, and every performer under S.
  for (int i = 0; i < 500; ++i) {
    SongEntry& e = f.AddCard(Format("%c song %03d", 'A' + i % 20, i), Format("Singer %d", i % 10), "Pop");
    e.scanNumber = static_cast<std::uint16_t>(1000 + i);
  }
  f.window->RefreshLists();
  const QString out = PathQ(f.Dir("book.pdf"));
  ModalAnswerer answers;
  answers.Push([out](QWidget* w) {
    auto* dlg = qobject_cast<QFileDialog*>(w);
    if (dlg == nullptr) return;
    dlg->setDirectory(QFileInfo(out).absolutePath());
    dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(out).fileName());
    auto* buttons = dlg->findChild<QDialogButtonBox*>();
    for (QAbstractButton* b : buttons->buttons()) {
      if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) b->click();
    }
  });
  f.window->RunCommand(cmd::kSongbook);
  QVERIFY(answers.seen.value(0).startsWith(QStringLiteral("QFileDialog|Songbook|")));
  QVERIFY2(QFile::exists(out), qPrintable(answers.seen.join(QLatin1Char('\n'))));
  // By title: a part title and 20 letters of 26 lines in 56-line pages, a heading never last: 10
  // pages. By performer: 1 + 1 + 500 lines: 9 pages.
  QCOMPARE(PdfPages(out), 19);
  const QString text = PdfText(out, 0, false, true);
  const int part2 = text.indexOf(QStringLiteral("Songs by performer"));
  QVERIFY(part2 > 0);
  const QString byTitle = text.left(part2), byPerformer = text.mid(part2);
  // Every song once in each part, on a line with its card number, in the part's order.
  const QRegularExpression titleLine(QStringLiteral("(?m)^\\s*(\\d{4})\\s+([A-T]) song (\\d{3})\\s+Singer (\\d)"));
  const QRegularExpression performerLine(QStringLiteral("(?m)^\\s*(\\d{4})\\s+Singer (\\d)\\s+([A-T]) song (\\d{3})"));
  std::vector<std::tuple<int, int, int>> keys;
  std::set<int> songs;
  for (auto it = titleLine.globalMatch(byTitle); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    const int n = m.captured(3).toInt();
    QCOMPARE(m.captured(1).toInt(), 1000 + n);
    keys.emplace_back(m.captured(2).at(0).unicode(), n, 0);
    songs.insert(n);
  }
  QCOMPARE(keys.size(), std::size_t{500});
  QCOMPARE(songs.size(), std::size_t{500});
  QVERIFY(std::is_sorted(keys.begin(), keys.end()));
  keys.clear();
  songs.clear();
  for (auto it = performerLine.globalMatch(byPerformer); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    const int n = m.captured(4).toInt();
    QCOMPARE(m.captured(1).toInt(), 1000 + n);
    keys.emplace_back(m.captured(2).toInt(), m.captured(3).at(0).unicode(), n);
    songs.insert(n);
  }
  QCOMPARE(keys.size(), std::size_t{500});
  QCOMPARE(songs.size(), std::size_t{500});
  QVERIFY(std::is_sorted(keys.begin(), keys.end()));
  // A letter heading at each new initial.
  std::set<QString> letters;
  for (auto it = QRegularExpression(QStringLiteral("(?m)^\\s+([A-T])\\s*$")).globalMatch(byTitle); it.hasNext();)
    letters.insert(it.next().captured(1));
  QCOMPARE(letters.size(), std::size_t{20});
  QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                                                 QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                 QStringLiteral("1"), out, ShotDir() + QStringLiteral("/songbook")});
}
