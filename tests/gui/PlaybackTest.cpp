#include "PlaybackTest.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "GuiFixture.h"
#include "app/AtomicFile.h"
#include "gui/CommandIds.h"
#include "gui/DemoSongs.h"
#include "gui/KaraokeView.h"
#include "gui/MidiSetupDlg.h"
#include "gui/SongListModel.h"
#include "library/LibraryStore.h"
#include "midi/Mf3File.h"
#include "midi/MidiToPayload.h"
#include "midi/SongPlayback.h"

using namespace sondesk;
using namespace sondesk::test;

namespace {

// No sound card in the test machine: FluidSynth's file driver stands for the sound server.
void UseFileDriver(GuiFixture& f) {
  f.session->settings().WriteString("Midi", "AudioDriver", "file");
}

void Put(std::vector<std::uint8_t>& track, std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
  std::uint8_t tmp[5];
  int n = 0;
  tmp[n++] = static_cast<std::uint8_t>(delta & 0x7F);
  while ((delta >>= 7) != 0) tmp[n++] = static_cast<std::uint8_t>(0x80 | (delta & 0x7F));
  while (n > 0) track.push_back(tmp[--n]);
  track.insert(track.end(), bytes);
}

void PutSxs(std::vector<std::uint8_t>& track, std::uint32_t delta, std::uint8_t type,
            const std::string& text) {
  Put(track, delta, {0xF0, static_cast<std::uint8_t>(text.size() + 6), 0x00, 0x20, 0x24, 0x00, type});
  track.insert(track.end(), text.begin(), text.end());
  track.push_back(0xF7);
}

// A payload of under three seconds: one page of two lines, each sung on one note.
std::vector<std::uint8_t> ShortKaraokePayload() {
  std::vector<std::uint8_t> t;
  Put(t, 0, {0xFF, 0x51, 3, 0x03, 0xD0, 0x90});  // 250000: 240 beats a minute
  Put(t, 1, {0xB0, 0x1F, 0x7F});
  PutSxs(t, 5, 0x04, "HELLO WORLD\n");
  PutSxs(t, 5, 0x05, "SECOND LINE\n");
  PutSxs(t, 5, 0x06, "\n");
  PutSxs(t, 5, 0x07, "\n");
  Put(t, 5, {0xB0, 0x1F, 0x00});
  PutSxs(t, 5, 0x08, "");
  Put(t, 0, {0xC0, 0});
  Put(t, 0, {0x90, 60, 100});
  Put(t, 0, {0xB0, 0x1F, 5});
  Put(t, 240, {0xB0, 0x1F, 10});
  Put(t, 200, {0x80, 60});
  Put(t, 10, {0xB0, 0x1F, 0x00});
  PutSxs(t, 5, 0x08, "");
  Put(t, 0, {0x90, 64, 100});
  Put(t, 0, {0xB0, 0x1F, 10});
  Put(t, 1920, {0x80, 64});  // two seconds: a loaded machine still sees the line lit
  Put(t, 0, {0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  for (int i = 3; i >= 0; --i) f.push_back(static_cast<std::uint8_t>(t.size() >> (8 * i)));
  f.insert(f.end(), t.begin(), t.end());
  return f;
}

// An MF3 song in the library, the window's list read again, the song selected.
void AddSong(GuiFixture& f, const std::string& name, const std::vector<std::uint8_t>& payload,
             Mf3Header header = Mf3Header::Fresh()) {
  std::vector<std::uint8_t> file;
  QCOMPARE(static_cast<int>(BuildMf3(header, name, payload, file)), static_cast<int>(Mf3Status::Ok));
  QVERIFY(WriteFileAtomically(f.Dir("library") + "/" + name, file));
  ReadLibrary(*f.session);
  f.window->RefreshLists();
  f.window->SelectEntries(ListSide::Library, {0});
}

// A karaoke file of the corpus as the import converts it.
std::vector<std::uint8_t> ConvertedCorpusSong(GuiFixture& f, const std::string& relative) {
  MidiConversion conv;
  const std::string payload = f.Dir("work") + "/converted.mid";
  if (ConvertMidiToPayload(*f.session, std::string(SONDESK_SOURCE_DIR) + "/../shared/corpus/" + relative,
                           payload, conv) != 0)
    return {};
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(payload, bytes);
  return bytes;
}

// The view as the user sees it, kept beside the build for a look.
QString Screenshot(QWidget* w, const QString& name) {
  const QString dir = QStringLiteral(SONDESK_PROGRAM_DIR "/../screenshots/playback");
  QDir().mkpath(dir);
  const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
  w->grab().save(path);
  qInfo("screenshot: %s", qPrintable(path));
  return path;
}

bool Enabled(GuiFixture& f, int id) {
  QAction* a = f.window->toolbarAction(id);
  return a != nullptr && a->isEnabled();
}

}  // namespace

void PlaybackTest::playShowsThePageAndTheEndRestoresTheButtons() {
  GuiFixture f;
  UseFileDriver(f);
  AddSong(f, "SHORT.MF3", ShortKaraokePayload());
  QVERIFY(Enabled(f, cmd::kTbPlay));
  QVERIFY(!Enabled(f, cmd::kTbStop));

  f.window->RunCommand(cmd::kTbPlay);
  QVERIFY(f.window->playback().playing());
  QVERIFY(Enabled(f, cmd::kTbStop));
  QVERIFY(Enabled(f, cmd::kTbPlay));
  KaraokeView* view = f.window->karaokeView();
  QVERIFY(view != nullptr && view->isVisible());
  QVERIFY(view->following());
  // The page's lines come a few milliseconds apart after the page opens: a loaded machine may look
  // between them.
  QTRY_VERIFY_WITH_TIMEOUT(view->state().lines[1] == "SECOND LINE", 2000);
  QCOMPARE(view->state().lines[0], std::string("HELLO WORLD"));
  // The second line lights up as it is sung.
  QTRY_VERIFY_WITH_TIMEOUT(view->state().currentLine == 1, 5000);
  QVERIFY(QFileInfo::exists(Screenshot(view, QStringLiteral("short-song-second-line"))));
  Screenshot(f.window.get(), QStringLiteral("main-window-playing"));

  // The song ends by itself: Stop greys, Play stays for the next one.
  QTRY_VERIFY_WITH_TIMEOUT(!f.window->playback().playing(), 8000);
  QTRY_VERIFY_WITH_TIMEOUT(!Enabled(f, cmd::kTbStop), 2000);
  QVERIFY(Enabled(f, cmd::kTbPlay));
  QVERIFY(!view->following());
  // The work files are in the work folder, not the current one.
  QVERIFY(std::filesystem::exists(f.Dir("work") + "/TEMP.MID"));
  QVERIFY(std::filesystem::exists(f.Dir("work") + "/TEMP.MIT"));
  QVERIFY(!std::filesystem::exists("TEMP.MID"));
}

void PlaybackTest::stopRestoresTheButtonsAndPagesStepWithoutSound() {
  GuiFixture f;
  UseFileDriver(f);
  const std::vector<std::uint8_t> payload = ConvertedCorpusSong(f, "dmidiplayer/twinkle.kar");
  QVERIFY(!payload.empty());
  AddSong(f, "TWINKLE.MF3", payload);

  f.window->RunCommand(cmd::kTbPlay);
  QVERIFY(f.window->playback().playing());
  KaraokeView* view = f.window->karaokeView();
  QVERIFY(view != nullptr);
  QVERIFY(view->timeline().pageCount() > 1);
  // The first page stands at once, before its first line is sung.
  QCOMPARE(view->state().page, 0);
  QVERIFY(!view->state().lines[0].empty());
  QTRY_VERIFY_WITH_TIMEOUT(view->state().currentLine >= 0 && view->state().litLetters > 0, 10000);
  QCOMPARE(view->state().page, 0);
  Screenshot(view, QStringLiteral("twinkle-first-page"));

  f.window->RunCommand(cmd::kTbStop);
  QVERIFY(!f.window->playback().playing());
  QVERIFY(!Enabled(f, cmd::kTbStop));
  QVERIFY(Enabled(f, cmd::kTbPlay));
  QVERIFY(!view->following());

  // Stepping through the pages: whole pages, nothing sung, no sound.
  view->ShowPage(0);
  view->NextPage();
  QCOMPARE(view->state().page, 1);
  QCOMPARE(view->state().currentLine, -1);
  QVERIFY(!view->state().lines[0].empty());
  view->ShowPage(1000);
  QCOMPARE(view->state().page, static_cast<int>(view->timeline().pageCount()) - 1);
  view->PreviousPage();
  QCOMPARE(view->state().page, static_cast<int>(view->timeline().pageCount()) - 2);
  QVERIFY(!f.window->playback().playing());
  Screenshot(view, QStringLiteral("twinkle-stepped"));

  // Two selected songs: nothing to play.
  AddSong(f, "SHORT.MF3", ShortKaraokePayload());
  f.window->SelectEntries(ListSide::Library, {0, 1});
  QVERIFY(!Enabled(f, cmd::kTbPlay));
}

void PlaybackTest::aCardSongPlaysFromACopy() {
  GuiFixture f(1, false);
  f.UseFolderCard();
  UseFileDriver(f);
  f.MakeWindow();
  ModalAnswerer answers;
  answers.Push(ModalAnswerer::ClickBox(QMessageBox::No));
  f.window->FirstRunStep();
  QCOMPARE(f.session->linkMode, LinkMode::CardReader);
  AddSong(f, "SHORT.MF3", ShortKaraokePayload());
  QCOMPARE(f.window->CopyToCard({0}), 1);
  f.window->SelectEntries(ListSide::Library, {});
  f.window->SelectEntries(ListSide::Card, {0});
  QVERIFY(Enabled(f, cmd::kTbPlay));
  f.window->RunCommand(cmd::kTbPlay);
  QVERIFY(f.window->playback().playing());
  QCOMPARE(f.window->playback().songPath(), f.Dir("work") + "/CARDSONG.MF3");
  QCOMPARE(f.window->karaokeView()->state().lines[0], std::string("HELLO WORLD"));
  f.window->RunCommand(cmd::kTbStop);
  QVERIFY(!Enabled(f, cmd::kTbStop));
}

void PlaybackTest::aSongWithoutPagesSaysSo() {
  GuiFixture f;
  UseFileDriver(f);
  // A song of notes alone: it plays, and the screen says it has nothing to show.
  std::vector<std::uint8_t> t = {0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0x00, 0xFF, 0x2F, 0x00};
  std::vector<std::uint8_t> p = {
      'M', 'T',  'h',  'd', 0,   0,   0,   6, 0, 0, 0,
      1,   0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, static_cast<std::uint8_t>(t.size())};
  p.insert(p.end(), t.begin(), t.end());
  AddSong(f, "NOTES.MF3", p);
  f.window->ShowLyricPages();
  KaraokeView* view = f.window->karaokeView();
  QVERIFY(view != nullptr);
  QVERIFY(!view->timeline().hasPages());
  QCOMPARE(view->noPagesText(), QStringLiteral("This song has no lyric pages"));
  QVERIFY(!f.window->playback().playing());
  Screenshot(view, QStringLiteral("no-pages"));

  // A damaged song plays nothing and says why; the buttons stay as they were.
  std::vector<std::uint8_t> bad = p;
  bad.resize(bad.size() - 3);  // no end-of-track
  AddSong(f, "BAD.MF3", bad);
  f.window->SelectEntries(ListSide::Library, {0});
  ModalAnswerer answers;
  f.window->RunCommand(cmd::kTbPlay);
  QVERIFY(!f.window->playback().playing());
  QVERIFY(!Enabled(f, cmd::kTbStop));
  QCOMPARE(answers.Count(QStringLiteral("QMessageBox")), 1);
  QVERIFY(answers.seen.join(QLatin1Char('\n')).contains(QStringLiteral("end-of-track")));
}

void PlaybackTest::midiSetupKeepsItsChoiceAndSoundsATestNote() {
  GuiFixture f;
  SynthPlayer player;
  {
    MidiSetupDlg dlg(*f.session, player);
    dlg.findChild<QLineEdit*>("soundFont")->setText(QStringLiteral("/nowhere/none.sf2"));
    QVERIFY(!dlg.PlayTestNote());
    QVERIFY(dlg.statusText().contains(QStringLiteral("/nowhere/none.sf2")));
    dlg.findChild<QLineEdit*>("soundFont")->clear();
    auto* driver = dlg.findChild<QComboBox*>("audioDriver");
    driver->setCurrentIndex(driver->findData(QStringLiteral("file")));
    QVERIFY2(dlg.PlayTestNote(), qPrintable(dlg.statusText()));
    QVERIFY(dlg.statusText().contains(QStringLiteral("file")));
    dlg.show();
    Screenshot(&dlg, QStringLiteral("midi-setup"));
    player.Stop();
    dlg.accept();
  }
  QCOMPARE(f.session->settings().audioDriver, std::string("file"));
  QCOMPARE(f.session->settings().soundFont, std::string());
  Settings again(f.paths.IniPath());
  again.Load();
  QCOMPARE(again.audioDriver, std::string("file"));
  QCOMPARE(again.midiGain, 20);
}
