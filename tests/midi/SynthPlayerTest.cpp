// The synthesizer behind PC playback, really started: WAV files measured by sox, the live player
// on FluidSynth's file driver (the test machine has no sound card), the lyric pages of real songs.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/AtomicFile.h"
#include "midi/KaraokeTimeline.h"
#include "midi/Mf3File.h"
#include "midi/MidiToPayload.h"
#include "midi/SongPlayback.h"
#include "midi/SynthPlayer.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

struct SoxStat {
  double seconds = -1;
  double rms = -1;
};

SoxStat Measure(const std::string& wav) {
  SoxStat s;
  const std::string cmd = "sox '" + wav + "' -n stat 2>&1";
  std::FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return s;
  char line[256];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    std::sscanf(line, "Length (seconds): %lf", &s.seconds);
    std::sscanf(line, "RMS amplitude: %lf", &s.rms);
  }
  ::pclose(p);
  return s;
}

class SynthPlayerTest : public MidiTest {
 protected:
  // A corpus song converted as the import does, as an MF3 file in the test's folder.
  std::string LibrarySong(const std::string& relative, const std::string& name) {
    MidiConversion conv;
    const std::string payload = tmp / "payload.mid";
    EXPECT_EQ(
        ConvertMidiToPayload(session(), SONDESK_SOURCE_DIR "/../shared/corpus/" + relative, payload, conv),
        0);
    const std::string mf3 = tmp / name;
    EXPECT_EQ(WriteMf3(session(), payload, mf3, name, conv.header), 0);
    return mf3;
  }
  SynthOptions Options() {
    SynthOptions o = SynthOptions::FromSettings(session().settings(), session().workDir());
    o.audioDriver = "file";
    return o;
  }
};

TEST_F(SynthPlayerTest, WavOfALibrarySongSoundsForTheLengthOfItsTempoMap) {
  const std::string song = LibrarySong("dmidiplayer/twinkle.kar", "TWINKLE.MF3");
  const PreparedSong prepared = PrepareSong(session(), song);
  ASSERT_TRUE(prepared.ok);
  SynthPlayer player;
  const std::string wav = tmp / "song.wav";
  ASSERT_TRUE(player.RenderWav(prepared.midi.file, wav, Options())) << player.lastError();
  const SoxStat s = Measure(wav);
  EXPECT_GT(s.rms, 0.005) << "silent";
  const double expected = prepared.midi.Seconds();
  EXPECT_GT(expected, 30.0);
  EXPECT_NEAR(s.seconds, expected, expected * 0.02);

  // The channel that carries most of the song, muted by its mode: the level drops.
  std::array<int, 16> notes{};
  WalkPayload(ReadBytes(session().workDir() + "/TEMP.MIT"), [&](const sondesk::PayloadEvent& e) {
    if ((e.status & 0xF0) == 0x90 && e.data[1] > 0) ++notes[e.status & 0x0F];
  });
  const int loudest = static_cast<int>(std::max_element(notes.begin(), notes.end()) - notes.begin());
  Mf3Header header;
  ASSERT_EQ(ReadMf3Header(session(), song, header), 0);
  header.channels[static_cast<std::size_t>(loudest)].mode = 1;
  ASSERT_EQ(WriteMf3Header(session(), song, header), 0);
  const PreparedSong muted = PrepareSong(session(), song);
  ASSERT_TRUE(player.RenderWav(muted.midi.file, tmp / "muted.wav", Options()));
  const SoxStat m = Measure(tmp / "muted.wav");
  EXPECT_LT(m.rms, s.rms * 0.9) << "channel " << loudest + 1 << " muted";
}

TEST_F(SynthPlayerTest, SoundFontsAreFoundOrNamed) {
  std::string error;
  const std::string found = FindSoundFont("", error);
  ASSERT_FALSE(found.empty()) << error;  // the build machine has Debian's small GM font
  EXPECT_TRUE(IsFile(found));
  error.clear();
  EXPECT_EQ(FindSoundFont(tmp / "missing.sf2", error), "");
  EXPECT_NE(error.find(tmp / "missing.sf2"), std::string::npos);

  // A file that is no SoundFont: the synthesizer says so, naming it.
  WriteFile(tmp / "bad.sf2", std::string("not a soundfont"));
  SynthOptions o = Options();
  o.soundFont = tmp / "bad.sf2";
  SynthPlayer player;
  EXPECT_FALSE(player.RenderWav({}, tmp / "x.wav", o));
  EXPECT_NE(player.lastError().find("bad.sf2"), std::string::npos);
  // An audio driver that does not exist is named in the message.
  o = Options();
  o.audioDriver = "nosuchdriver";
  EXPECT_FALSE(player.Play(ReadBytes(SONDESK_SOURCE_DIR "/../shared/corpus/dmidiplayer/twinkle.kar"), o));
  EXPECT_NE(player.lastError().find("nosuchdriver"), std::string::npos);
  EXPECT_FALSE(player.playing());
}

TEST_F(SynthPlayerTest, LivePlayEndsByItselfOrWhenStopped) {
  // Half a second of one note.
  MidiWriter w(0, 480);
  w.Track().NoteOn(0, 0, 60, 100).NoteOff(480, 0, 60);
  const std::vector<std::uint8_t> shortSong = w.Build();
  SynthPlayer player;
  std::atomic<int> finished{0}, stopped{0};
  player.onEnded = [&](PlayEnd why) { (why == PlayEnd::Finished ? finished : stopped)++; };
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(player.Play(shortSong, Options())) << player.lastError();
  EXPECT_TRUE(player.playing());
  EXPECT_EQ(player.driverInUse(), "file");
  for (int i = 0; i < 500 && player.playing(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(finished.load(), 1);
  // It played in real time, and not for the seconds FluidSynth lets voices fade after a song: the
  // file driver wrote the half second and the short release, whatever the machine's load.
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(took, 0.45);
  ASSERT_TRUE(player.FirstSoundAt().has_value());
  const SoxStat written = Measure(session().workDir() + "/PLAYBACK.WAV");
  EXPECT_GT(written.seconds, 0.45);
  EXPECT_LT(written.seconds, 1.5);
  EXPECT_GT(written.rms, 0.001);

  // A long song stopped: told as stopped, never as finished.
  MidiWriter longer(0, 480);
  longer.Track().NoteOn(0, 0, 60, 100).NoteOff(480 * 60, 0, 60);
  ASSERT_TRUE(player.Play(longer.Build(), Options()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_GT(player.CurrentTick(), 0u);
  player.Stop();
  EXPECT_FALSE(player.playing());
  EXPECT_EQ(finished.load(), 1);
  EXPECT_EQ(stopped.load(), 1);
  player.Stop();  // twice is harmless
}

TEST_F(SynthPlayerTest, PagesOfAConvertedKaraokeSongFollowItsLines) {
  const std::string song = LibrarySong("dmidiplayer/twinkle.kar", "TWINKLE.MF3");
  const PreparedSong p = PrepareSong(session(), song);
  ASSERT_TRUE(p.ok);
  const KaraokeTimeline& k = p.karaoke;
  ASSERT_TRUE(k.hasPages());
  // Each page stands whole before it is sung: four lines known, none sung yet.
  for (std::size_t i = 0; i < k.pageCount(); ++i) {
    const KaraokeState s = k.StateAt(k.PageTick(i));
    EXPECT_EQ(s.page, static_cast<int>(i));
    EXPECT_EQ(s.currentLine, -1);
    EXPECT_FALSE(s.lines[0].empty());
    if (i > 0) {
      EXPECT_GT(k.PageTick(i), k.PageTick(i - 1));
    }
  }
  // The lines sung, in order, are the lines of the pages.
  const std::vector<SungLine> sung = k.SungLines();
  ASSERT_GE(sung.size(), 4u);
  EXPECT_EQ(sung[0].text, k.StateAt(k.PageTick(0)).lines[0]);
  EXPECT_EQ(sung[1].text, k.StateAt(k.PageTick(0)).lines[1]);
  EXPECT_EQ(sung.back().text.empty(), false);
  // While a line is sung its lit part grows syllable by syllable, never past the line.
  std::size_t lastLit = 0;
  int lastLine = -1;
  // (Just before the next line starts the count goes back to 0 for it.)
  for (std::uint64_t t = sung[0].tick; t + 10 < sung[1].tick; t += 10) {
    const KaraokeState s = k.StateAt(t);
    ASSERT_EQ(s.currentLine, 0);
    if (s.currentLine == lastLine) {
      EXPECT_GE(s.LitLength(), lastLit);
    }
    EXPECT_LE(s.LitLength(), s.lines[0].size());
    lastLit = s.LitLength();
    lastLine = s.currentLine;
  }
  EXPECT_GT(lastLit, 0u);
}

TEST(KaraokeTimeline, PlayerEventsMakeTheScreen) {
  MidiWriter w(0, 480);
  // A page opened by its first line alone (songs whose lyric events came with them), chords with
  // the next two, an accented letter in the player's code, a line announced for the next page.
  w.Track()
      .Sxs(10, 0x04, "FIRST LINE\n")
      .Sxs(0, 0x05,
           "ZWEITE \x17"
           "BER\n")
      .Sxs(0, 0x06, "\n")
      .Sxs(0, 0x07, "\n");
  w.Sxs(0, 0x0F, "NEXT ONE").Sxs(0, 0x01, ">Am|G|F");
  w.Sxs(10, 0x08).Control(0, 0, 31, 5).Control(100, 0, 31, 9);
  w.Control(100, 0, 31, 0).Sxs(0, 0x08).Control(0, 0, 31, 3);
  w.Sxs(100, 0x04, "PAGE TWO\n").Sxs(0, 0x08).Control(0, 1, 31, 4);
  const KaraokeTimeline k = KaraokeTimeline::FromPayload(w.Build());
  ASSERT_EQ(k.pageCount(), 2u);
  KaraokeState s = k.StateAt(0);
  EXPECT_EQ(s.page, -1);
  s = k.StateAt(k.PageTick(0));
  EXPECT_EQ(s.lines[0], "FIRST LINE");
  EXPECT_EQ(s.lines[1],
            "ZWEITE \xDC"
            "BER");  // Windows-1252 for the screen
  EXPECT_EQ(s.currentLine, -1);
  EXPECT_EQ(s.chord, "Am");
  EXPECT_EQ(s.nextChords, "G F");
  EXPECT_EQ(s.nextLine, "NEXT ONE");
  s = k.StateAt(20);
  EXPECT_EQ(s.currentLine, 0);
  EXPECT_EQ(s.LitLength(), 5u);  // "FIRST"
  s = k.StateAt(120);
  EXPECT_EQ(s.LitLength(), 10u);  // "FIRST LINE": nine letters, the blank between them shown lit
  s = k.StateAt(220);
  EXPECT_EQ(s.currentLine, 1);
  EXPECT_EQ(s.LitLength(), 3u);
  s = k.StateAt(320);
  EXPECT_EQ(s.page, 1);
  EXPECT_EQ(s.lines[0], "PAGE TWO");
  EXPECT_TRUE(s.lines[1].empty());
  EXPECT_EQ(s.currentLine, 0);
  EXPECT_EQ(s.litLetters, 0);  // controller 31 counts only on channel 1

  // No lyric events, or a payload that cannot be read: no pages, nothing to show.
  MidiWriter notes(0, 480);
  notes.Track().NoteOn(0, 0, 60, 100);
  EXPECT_FALSE(KaraokeTimeline::FromPayload(notes.Build()).hasPages());
  MidiWriter cut(0, 480);
  cut.Track().Sxs(0, 0x04, "LOST\n").OmitEndOfTrack();
  EXPECT_FALSE(KaraokeTimeline::FromPayload(cut.Build()).hasPages());
}

}  // namespace
}  // namespace sondesk::test
