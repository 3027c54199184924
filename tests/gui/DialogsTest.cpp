#include "DialogsTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <fstream>

#include "GuiFixture.h"
#include "catalogue/CatalogueCheck.h"
#include "gui/CommandIds.h"
#include "gui/DemoSongs.h"
#include "gui/ExportDialog.h"
#include "gui/FileInfoDlg.h"
#include "gui/OptionsDlg.h"
#include "gui/SearchDlg.h"
#include "gui/SettingsDlg.h"
#include "gui/SongListModel.h"
#include "gui/Text.h"
#include "library/LibraryStore.h"
#include "midi/Mf3Header.h"

using namespace sondesk;
using namespace sondesk::test;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& b) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A karaoke file of our demo, under the name the test wants.
std::string DemoKar(GuiFixture& f, const std::string& folder, const std::string& name, std::size_t song = 0) {
  MakeFolders(f.Dir(folder));
  const std::string path = f.Dir(folder) + "/" + name;
  WriteBytes(path, DemoSongFile(song));
  return path;
}

bool Exists(GuiFixture& f, const std::string& name) {
  return IsFile(f.Dir("library") + "/" + name);
}

}  // namespace

void DialogsTest::settingsDialogWritesEachKeyAtOnce() {
  GuiFixture f;
  int driveChanges = 0;
  SettingsDlg dlg(
      *f.session, [&] { ++driveChanges; }, f.window.get());
  dlg.show();
  auto* category = dlg.findChild<QCheckBox*>("checkCategory");
  auto* interpret = dlg.findChild<QCheckBox*>("checkInterpret");
  auto* internet = dlg.findChild<QCheckBox*>("askInternet");
  auto* port = dlg.findChild<QComboBox*>("port");
  QVERIFY(category && interpret && internet && port);
  QVERIFY(category->isChecked());
  QVERIFY(!internet->isChecked());  // the fixture's settings say 0
  QCOMPARE(port->count(), 2);
  QCOMPARE(dlg.driveBox()->itemText(0), QStringLiteral("No drive available"));

  auto onDisk = [&] {
    Settings s(f.paths.IniPath());
    s.Load();
    return s;
  };
  category->setChecked(false);
  QCOMPARE(onDisk().checkCategory, 0);  // written while the dialog is still open
  QCOMPARE(f.session->settings().checkCategory, 0);
  interpret->setChecked(false);
  QCOMPARE(onDisk().checkInterpret, 0);
  internet->setChecked(true);
  QCOMPARE(onDisk().askInternet, 1);
  port->setCurrentIndex(1);
  QCOMPARE(onDisk().currentLpt, 1);

  // A drive chosen in reader mode is read at once; "No drive available" stores the none value.
  const std::string card = f.Dir("card");
  MakeFolders(card);
  dlg.SetDriveChoices({DriveChoice{PathQ(card) + QStringLiteral(" Removable 1.0 GB"), PathQ(card), true}});
  f.session->linkMode = LinkMode::CardReader;
  dlg.driveBox()->setCurrentIndex(1);
  QCOMPARE(onDisk().flashDrive, card);
  QCOMPARE(driveChanges, 1);
  dlg.driveBox()->setCurrentIndex(0);
  QCOMPARE(onDisk().flashDrive, std::string(kNoDrive));
  QCOMPARE(driveChanges, 1);
  // Cancel undoes nothing.
  dlg.reject();
  QCOMPARE(onDisk().currentLpt, 1);
}

void DialogsTest::searchNextAndSelectAll() {
  GuiFixture f;
  f.AddLibrary("AMORE MIO", "Mina");
  f.AddLibrary("BELLA CIAO", "Coro");
  f.AddLibrary("Amore", "Altri");  // mixed case: the text is upper-cased, titles are not
  f.AddLibrary("CIAO AMORE", "Coro");
  f.window->RefreshLists();  // shown by title: AMORE MIO, Amore, BELLA CIAO, CIAO AMORE
  SearchState& state = f.window->searchState();
  state.Restart();
  state.performer = false;
  state.category = false;
  SearchDlg dlg(*f.session, state, *f.window->view(ListSide::Library), *f.window->model(ListSide::Library),
                *f.window->view(ListSide::Card), *f.window->model(ListSide::Card), f.window.get());
  dlg.show();
  dlg.textField()->setText(QStringLiteral("amore"));
  dlg.Next();
  QCOMPARE(f.window->SelectedEntries(ListSide::Library), (std::vector<std::size_t>{0}));
  dlg.Next();
  QCOMPARE(f.window->SelectedEntries(ListSide::Library), (std::vector<std::size_t>{3}));
  dlg.Next();  // round again to the top
  QCOMPARE(f.window->SelectedEntries(ListSide::Library), (std::vector<std::size_t>{0}));

  {
    ModalAnswerer answers;
    dlg.textField()->setText(QStringLiteral("nothing like it"));
    dlg.Next();
    QCOMPARE(answers.Count(QStringLiteral("QMessageBox")), 1);
    QVERIFY(answers.seen[0].contains(QStringLiteral("Text not found.")));
    QVERIFY(f.window->SelectedEntries(ListSide::Library).empty());
  }
  {
    ModalAnswerer answers;
    dlg.findChild<QCheckBox*>("pc")->setChecked(false);
    dlg.Next();
    QCOMPARE(answers.Count(QStringLiteral("QMessageBox")), 1);
    QVERIFY(answers.seen[0].contains(QStringLiteral("You must choose at least one list to search")));
    dlg.findChild<QCheckBox*>("pc")->setChecked(true);
  }
  dlg.textField()->setText(QStringLiteral("ciao"));
  dlg.SelectAll();
  QCOMPARE(f.window->SelectedEntries(ListSide::Library), (std::vector<std::size_t>{1, 3}));
  QCOMPARE(dlg.result(), int(QDialog::Accepted));
  QVERIFY(!state.performer);  // the boxes are kept for the next search
}

void DialogsTest::duplicateQuestionAnswersThroughDrops() {
  GuiFixture f;
  const std::string a = DemoKar(f, "in", "A.KAR");
  const std::string b = DemoKar(f, "in2", "A.KAR", 1);
  ModalAnswerer answers;

  f.window->ImportFiles({a});
  QVERIFY(Exists(f, "A.MF3"));
  QCOMPARE(answers.Count("DupFileDlg"), 0);
  QCOMPARE(f.window->model(ListSide::Library)->rowCount(), 1);

  // "Modify Name" renames this song.
  answers.Push(ModalAnswerer::Click("modifyName"));
  f.window->ImportFiles({a});
  QCOMPARE(answers.Count("DupFileDlg"), 1);
  QVERIFY(Exists(f, "A(1).MF3"));

  // "Mod. All Names" once renames every clash of the same drop.
  answers.Push(ModalAnswerer::Click("modifyAllNames"));
  f.window->ImportFiles({a, b});
  QCOMPARE(answers.Count("DupFileDlg"), 2);
  QVERIFY(Exists(f, "A(2).MF3"));
  QVERIFY(Exists(f, "A(3).MF3"));

  // "Replace" overwrites; "Replace All" overwrites every clash without asking again.
  const std::size_t before = QDir(PathQ(f.Dir("library"))).entryList({"*.MF3"}, QDir::Files).size();
  answers.Push(ModalAnswerer::Click("replace"));
  f.window->ImportFiles({a});
  QCOMPARE(answers.Count("DupFileDlg"), 3);
  answers.Push(ModalAnswerer::Click("replaceAll"));
  f.window->ImportFiles({a, b});
  QCOMPARE(answers.Count("DupFileDlg"), 4);
  QCOMPARE(QDir(PathQ(f.Dir("library"))).entryList({"*.MF3"}, QDir::Files).size(), before);
  // Each drop ended with its report; the list shows what the folder holds.
  QVERIFY(answers.seen.filter(QStringLiteral("song was imported from PC!")).size() +
              answers.seen.filter(QStringLiteral("songs were imported from PC!")).size() >=
          5);
  QCOMPARE(f.window->model(ListSide::Library)->rowCount(), 4);
  QVERIFY(answers.seen.filter(QStringLiteral("DupFileDlg|SONDESK - Caution|The folder:")).size() == 4);
}

void DialogsTest::editInfoConfirmsNewPerformerIntoArtistList() {
  GuiFixture f;
  const std::string artists = f.Dir("program") + "/Artist.dat";
  const std::string genres = f.Dir("program") + "/genere.dat";
  WriteBytes(artists, {'M', 'i', 'n', 'a', '\n'});
  WriteBytes(genres, {'P', 'o', 'p', '\n'});
  ModalAnswerer answers;
  f.window->ImportFiles({DemoKar(f, "in", "SONG.KAR")});
  QCOMPARE(f.session->library.size(), std::size_t{1});
  f.window->SelectEntries(ListSide::Library, {0});
  const std::string path = f.session->library[0].path;
  answers.seen.clear();

  FileInfoDlg dlg(*f.session, path, f.window.get());
  QVERIFY(dlg.opened());
  dlg.show();
  QCOMPARE(dlg.performerField()->count(), 1);  // the lines of Artist.dat
  dlg.titleField()->setText(QStringLiteral("NEW TITLE"));
  dlg.performerField()->setEditText(QStringLiteral("Brand New Singer"));
  dlg.categoryField()->setEditText(QStringLiteral("Pop"));
  // The confirmation is cancelled first: nothing is written and the dialog stays.
  answers.Push(ModalAnswerer::Click("cancel"));
  QMetaObject::invokeMethod(&dlg, "accept");
  QCOMPARE(answers.Count("DbInfoDlg"), 1);
  QVERIFY(dlg.isVisible());
  Mf3Header h;
  QCOMPARE(ReadMf3Header(*f.session, path, h), 0);
  QVERIFY(h.Texts().title != "NEW TITLE");
  // Then confirmed: the performer goes into Artist.dat and the header is written.
  answers.Push(ModalAnswerer::Click("ok"));
  QMetaObject::invokeMethod(&dlg, "accept");
  QCOMPARE(answers.Count("DbInfoDlg"), 2);
  QVERIFY(!dlg.isVisible());
  QCOMPARE(ReadAll(artists), std::string("Mina\nBrand New Singer\n"));
  QCOMPARE(ReadMf3Header(*f.session, path, h), 0);
  QCOMPARE(h.Texts().title, std::string("NEW TITLE"));
  QCOMPARE(h.Texts().performer, std::string("Brand New Singer"));
  QCOMPARE(h.Texts().genre, std::string("Pop"));  // in genere.dat already: no question
  // A second check of the same name passes without asking.
  FileInfoDlg again(*f.session, path, f.window.get());
  again.show();
  QMetaObject::invokeMethod(&again, "accept");
  QCOMPARE(answers.Count("DbInfoDlg"), 2);
}

void DialogsTest::playerOptionsReadAndWriteSetupDat() {
  GuiFixture f;
  const std::string card = f.Dir("card");
  MakeFolders(card);
  f.session->settings().onlyDriveRemovable = 0;
  f.session->settings().flashDrive = card;
  f.session->linkMode = LinkMode::CardReader;
  Catalogue* c = f.window->card().CatalogueNow();
  QVERIFY(c != nullptr);
  WriteBytes(card + "/SETUP.DAT", DefaultSetupFile());
  {
    OptionsDlg dlg(*c, f.window.get());
    QVERIFY(dlg.opened());
    QCOMPARE(dlg.listOf(0)->currentText(), QStringLiteral("DISABLED"));
    QCOMPARE(dlg.listOf(1)->currentText(), QStringLiteral("4"));
    QCOMPARE(dlg.listOf(5)->currentText(), QStringLiteral("KARAOKE"));
    QCOMPARE(dlg.listOf(5)->count(), 2);  // no ROLLING without EnableRoll
    QCOMPARE(dlg.listOf(6)->currentText(), QStringLiteral("MIX MODE"));
    dlg.listOf(9)->setCurrentIndex(2);   // Echo SHORT
    dlg.listOf(10)->setCurrentIndex(3);  // Equalization ROCK
    dlg.reject();
    QCOMPARE(ReadAll(card + "/SETUP.DAT").size(), std::size_t{35});  // Cancel writes nothing
  }
  {
    OptionsDlg dlg(*c, f.window.get());
    dlg.listOf(9)->setCurrentIndex(2);
    dlg.listOf(10)->setCurrentIndex(3);
    QMetaObject::invokeMethod(&dlg, "accept");
  }
  const std::string written = ReadAll(card + "/SETUP.DAT");
  QCOMPARE(written.size(), std::size_t{140});
  QCOMPARE(static_cast<int>(written[1]), 3);
  QCOMPARE(static_cast<int>(written[9]), 2);
  QCOMPARE(static_cast<int>(written[10]), 3);
}

void DialogsTest::exportWritesTheChosenList() {
  GuiFixture f;
  f.AddLibrary("UNO", "Io", "Pop");
  f.AddCard("DUE", "Tu", "Rock");
  QFileDialog* dlg = MakeExportDialog(*f.session, f.window.get());
  auto* hardDisk = dlg->findChild<QRadioButton*>("hardDisk");
  auto* sonFlash = dlg->findChild<QRadioButton*>("sonFlash");
  QVERIFY(hardDisk && sonFlash);
  QVERIFY(sonFlash->isChecked());
  QVERIFY(!hardDisk->isChecked());
  QCOMPARE(dlg->selectedFiles().value(0).section(QLatin1Char('/'), -1), QStringLiteral("DATABASE.TXT"));
  hardDisk->setChecked(true);
  QVERIFY(ListChoiceIsLibrary(dlg->findChild<QWidget*>("listChoice")));
  delete dlg;
  ModalAnswerer answers;
  const std::string out = f.Dir("library") + "/DATABASE.TXT";
  QCOMPARE(ExportSongList(*f.session, out, ExportList::Library), 0);
  const std::string text = ReadAll(out);
  QVERIFY(text.find("UNO;Io;Pop") != std::string::npos);
  QVERIFY(text.find("DUE") == std::string::npos);
}
