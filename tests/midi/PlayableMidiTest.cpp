// PC playback's MIDI file: the mixer of the song's header, the player-only events left out, and
// payloads that must not play.

#include <gtest/gtest.h>

#include "app/Paths.h"
#include "midi/PlayableMidi.h"
#include "midi/TempoMap.h"
#include "midi/VelocityCurves.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

struct Event {
  std::uint64_t time;
  MidiBytes bytes;
};

// Reads a standard one-track file as any sequencer would (lengths as variable-length quantities,
// every status written), failing the test on anything else.
std::vector<Event> ReadSmf(const MidiBytes& f) {
  std::vector<Event> out;
  if (f.size() < 22) {
    ADD_FAILURE() << "file of " << f.size() << " bytes";
    return out;
  }
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "MThd");
  EXPECT_EQ(f[12] * 256 + f[13], 480);
  const std::size_t length = (std::size_t{f[18]} << 24) | (std::size_t{f[19]} << 16) | (f[20] << 8) | f[21];
  EXPECT_EQ(length, f.size() - 22);
  std::size_t p = 22;
  std::uint64_t now = 0;
  auto vlq = [&]() {
    std::uint64_t v = 0;
    while (p < f.size()) {
      const std::uint8_t b = f[p++];
      v = (v << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) break;
    }
    return v;
  };
  while (p < f.size()) {
    now += vlq();
    const std::size_t start = p;
    const std::uint8_t s = f[p];
    if (s == 0xFF) {
      p += 2;
      p += vlq();
    } else if (s == 0xF0) {
      p += 1;
      p += vlq();
    } else if (s >= 0x80 && s < 0xF0) {
      const int t = s & 0xF0;
      p += (t == 0xC0 || t == 0xD0) ? 2 : 3;
    } else {
      ADD_FAILURE() << "byte " << int(s) << " at " << p;
      return out;
    }
    out.push_back({now, MidiBytes(f.begin() + static_cast<std::ptrdiff_t>(start),
                                  f.begin() + static_cast<std::ptrdiff_t>(p))});
  }
  EXPECT_EQ(out.back().bytes, (MidiBytes{0xFF, 0x2F, 0x00}));
  return out;
}

std::vector<Event> OfStatus(const std::vector<Event>& all, int status) {
  std::vector<Event> out;
  for (const auto& e : all)
    if (e.bytes[0] == status) out.push_back(e);
  return out;
}

// A payload as the conversion writes it: format 0 at 480, note-offs of two bytes.
MidiWriter Payload() {
  MidiWriter w(0, 480);
  w.Track();
  return w;
}

std::vector<Event> Render(const MidiWriter& w, const Mf3Header& h, bool lyrics = false) {
  const PlayableMidi m = RenderPlayableMidiBytes(w.Build(), h, lyrics);
  EXPECT_TRUE(m.ok()) << PlayableMidiErrorText(m.error);
  return ReadSmf(m.file);
}

TEST(PlayableMidi, TranspositionsMoveMelodyButNeverDrums) {
  Mf3Header h = Mf3Header::Fresh();
  h.transpose = 2;
  h.channels[0].transpose = -1;
  auto w = Payload();
  w.NoteOn(0, 0, 60, 100)
      .Raw(240, {0x80, 60})
      .NoteOn(0, 9, 36, 100)
      .Raw(240, {0x89, 36})
      .NoteOn(0, 1, 60, 90);
  const auto ev = Render(w, h);
  const auto on = OfStatus(ev, 0x90);
  ASSERT_EQ(on.size(), 1u);
  EXPECT_EQ(on[0].bytes, (MidiBytes{0x90, 61, 100}));                    // one semitone up
  EXPECT_EQ(OfStatus(ev, 0x80).at(0).bytes, (MidiBytes{0x80, 61, 64}));  // the note-off follows it
  EXPECT_EQ(OfStatus(ev, 0x99).at(0).bytes, (MidiBytes{0x99, 36, 100}));
  EXPECT_EQ(OfStatus(ev, 0x89).at(0).bytes, (MidiBytes{0x89, 36, 64}));
  EXPECT_EQ(OfStatus(ev, 0x91).at(0).bytes, (MidiBytes{0x91, 62, 90}));  // the song's transpose alone
  EXPECT_EQ(OfStatus(ev, 0x89).at(0).time, 480u);
}

TEST(PlayableMidi, KeysPushedOutOfRangeComeBackByOctaves) {
  EXPECT_EQ(TransposeKey(126, 5), 119);
  EXPECT_EQ(TransposeKey(2, -5), 9);
  EXPECT_EQ(TransposeKey(127, 127 + 127), 117);  // both transpositions at their most
  EXPECT_EQ(TransposeKey(0, -128 - 128), 8);
  EXPECT_EQ(TransposeKey(64, 0), 64);
  Mf3Header h = Mf3Header::Fresh();
  h.transpose = 127;
  h.channels[3].transpose = 127;
  auto w = Payload();
  w.NoteOn(0, 3, 120, 100).Raw(10, {0x83, 120});
  const auto ev = Render(w, h);
  const int key = OfStatus(ev, 0x93).at(0).bytes[1];
  EXPECT_LE(key, 127);
  EXPECT_EQ((key - 120 - 254) % 12, 0);  // the same pitch class as the asked key
  EXPECT_EQ(OfStatus(ev, 0x83).at(0).bytes[1], key);
}

TEST(PlayableMidi, ControllerOffsetsKeepZeroAndStayInRange) {
  Mf3Header h = Mf3Header::Fresh();
  h.channels[0].volumeOffset = 20;
  h.channels[0].panOffset = -30;
  h.channels[0].reverbOffset = 5;
  h.channels[0].chorusOffset = -128;
  auto w = Payload();
  w.Control(0, 0, 7, 0).Control(0, 0, 7, 120).Control(0, 0, 7, 50);
  w.Control(0, 0, 10, 20)
      .Control(0, 0, 91, 0)
      .Control(0, 0, 91, 100)
      .Control(0, 0, 93, 127)
      .Control(0, 0, 64, 127);
  const auto ev = OfStatus(Render(w, h), 0xB0);
  ASSERT_EQ(ev.size(), 8u);
  EXPECT_EQ(ev[0].bytes[2], 0);    // off stays off
  EXPECT_EQ(ev[1].bytes[2], 127);  // 120 + 20
  EXPECT_EQ(ev[2].bytes[2], 70);
  EXPECT_EQ(ev[3].bytes[2], 0);  // 20 - 30
  EXPECT_EQ(ev[4].bytes[2], 0);
  EXPECT_EQ(ev[5].bytes[2], 105);
  EXPECT_EQ(ev[6].bytes[2], 0);                        // 127 - 128
  EXPECT_EQ(ev[7].bytes, (MidiBytes{0xB0, 64, 127}));  // other controllers pass
}

TEST(PlayableMidi, BankAndProgramComeFromTheHeaderUnlessItHasNone) {
  Mf3Header h = Mf3Header::Fresh();  // every program and bank "none"
  h.channels[0].program = 40;
  h.channels[0].bank = 2;
  auto w = Payload();
  w.Control(0, 0, 0, 8).Program(0, 0, 1).Control(0, 1, 0, 8).Program(0, 1, 5);
  const auto ev = Render(w, h);
  EXPECT_EQ(OfStatus(ev, 0xB0).at(0).bytes, (MidiBytes{0xB0, 0, 2}));
  EXPECT_EQ(OfStatus(ev, 0xC0).at(0).bytes, (MidiBytes{0xC0, 40}));
  // A channel whose header says "none" (255) keeps the song's own: 255 is no MIDI data byte.
  EXPECT_EQ(OfStatus(ev, 0xB1).at(0).bytes, (MidiBytes{0xB1, 0, 8}));
  EXPECT_EQ(OfStatus(ev, 0xC1).at(0).bytes, (MidiBytes{0xC1, 5}));
}

TEST(PlayableMidi, VelocityCurves) {
  EXPECT_EQ(VelocityCurve(0)[93], 93);
  EXPECT_EQ(VelocityCurve(1)[100], 66);
  EXPECT_EQ(VelocityCurve(2)[60], 87);
  EXPECT_EQ(VelocityCurve(2)[127], 127);
  EXPECT_EQ(VelocityCurve(3)[60], 107);
  EXPECT_EQ(VelocityCurve(3)[1], 16);
  EXPECT_EQ(VelocityCurve(4)[80], 120);
  EXPECT_EQ(VelocityCurve(4)[100], 127);
  EXPECT_EQ(VelocityCurve(5)[63], 126);
  EXPECT_EQ(VelocityCurve(5)[64], 127);
  EXPECT_EQ(VelocityCurve(6)[1], 127);
  for (int c = 0; c < kVelocityCurveCount; ++c) {
    EXPECT_EQ(VelocityCurve(c)[0], 0) << "curve " << c;  // a note-on at 0 stays a note-off
    for (int v = 1; v < 128; ++v) EXPECT_GE(VelocityCurve(c)[v], VelocityCurve(c)[v - 1]) << c << " " << v;
  }
  EXPECT_EQ(HalvedVelocity()[127], 63);
  // A curve number beyond the seven (a header from elsewhere) reads no table it does not have.
  EXPECT_EQ(&VelocityCurve(7), &VelocityCurve(0));
  EXPECT_EQ(&VelocityCurve(255), &VelocityCurve(0));

  Mf3Header h = Mf3Header::Fresh();
  h.channels[2].velocityCurve = 2;
  h.channels[9].velocityCurve = 5;
  auto w = Payload();
  w.NoteOn(0, 2, 60, 60).NoteOn(0, 9, 36, 60);
  const auto ev = Render(w, h);
  EXPECT_EQ(OfStatus(ev, 0x92).at(0).bytes[2], 87);
  EXPECT_EQ(OfStatus(ev, 0x99).at(0).bytes[2], 60);  // drums as they are
}

TEST(PlayableMidi, ChannelOutOfModeZeroIsSilentWithItsControllers) {
  Mf3Header h = Mf3Header::Fresh();
  h.channels[4].mode = 1;
  h.channels[5].mode = 2;
  auto w = Payload();
  w.Program(0, 4, 10).Control(0, 4, 7, 100).NoteOn(0, 4, 60, 100).Raw(10, {0x84, 60}).PitchBend(0, 4, 9000);
  w.NoteOn(0, 5, 60, 100).NoteOn(0, 6, 60, 100);
  const auto ev = Render(w, h);
  for (const auto& e : ev) {
    if (e.bytes[0] < 0xF0) {
      EXPECT_EQ(e.bytes[0] & 0x0F, 6) << "channel " << (e.bytes[0] & 0x0F) << " played";
    }
  }
  EXPECT_EQ(OfStatus(ev, 0x96).size(), 1u);
}

TEST(PlayableMidi, TempoOffsetCountsWholeBeats) {
  EXPECT_EQ(OffsetTempo(500000, -18), 588235u);  // 120 bpm to 102
  EXPECT_EQ(OffsetTempo(500000, 30), 400000u);
  // No offset keeps the song's own tempo to the microsecond.
  EXPECT_EQ(OffsetTempo(500001, 0), 500001u);
  // An offset that would stop the song plays it at the slowest tempo the file can hold.
  EXPECT_EQ(OffsetTempo(500000, -120), kSlowestTempo);
  EXPECT_EQ(OffsetTempo(500000, -32768), kSlowestTempo);
  EXPECT_EQ(OffsetTempo(500000, -119), kSlowestTempo);  // 1 bpm is beyond three bytes too
  EXPECT_EQ(OffsetTempo(0, 10), 0u);                    // a tempo of 0 divides nothing

  Mf3Header h = Mf3Header::Fresh();
  h.tempoOffset = -200;
  auto w = Payload();
  w.Tempo(0, 500000).NoteOn(0, 0, 60, 100).Tempo(480, 400000).Raw(0, {0x80, 60});
  const PlayableMidi m = RenderPlayableMidiBytes(w.Build(), h, false);
  ASSERT_TRUE(m.ok());
  const auto ev = ReadSmf(m.file);
  const auto tempos = OfStatus(ev, 0xFF);
  ASSERT_GE(tempos.size(), 3u);
  EXPECT_EQ(tempos[0].bytes, (MidiBytes{0xFF, 0x51, 3, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(OfStatus(ev, 0x80).size(), 1u);  // the rest of the song still plays
  EXPECT_EQ(m.endTick, 480u);
}

TEST(PlayableMidi, PlayerOnlyEventsAndLyricsStayOut) {
  auto w = Payload();
  w.Copyright(0, "(c) us").Sxs(0, 0x04, "HELLO\n").Lyric(0, "Hel").Text(0, "text");
  w.Raw(0, {0xA8, 1, 0}).Raw(480, {0xA9, 0, 0}).SysEx(0, {0x41, 0x10, 0xF7}).Marker(0, "verse");
  w.NoteOn(0, 0, 60, 100).Raw(0, {0x80, 60});
  auto ev = Render(w, Mf3Header::Fresh());
  std::vector<int> metas;
  for (const auto& e : ev) {
    EXPECT_NE(e.bytes[0], 0xF0);
    EXPECT_NE(e.bytes[0] & 0xF0, 0xA0);
    if (e.bytes[0] == 0xFF) metas.push_back(e.bytes[1]);
  }
  EXPECT_EQ(metas, (std::vector<int>{0x02, 0x06, 0x2F}));
  EXPECT_EQ(OfStatus(ev, 0x90).at(0).time, 480u);  // markers leave their time behind them

  ev = Render(w, Mf3Header::Fresh(), /*lyrics*/ true);
  metas.clear();
  for (const auto& e : ev)
    if (e.bytes[0] == 0xFF) metas.push_back(e.bytes[1]);
  EXPECT_EQ(metas, (std::vector<int>{0x02, 0x05, 0x01, 0x06, 0x2F}));
}

TEST(PlayableMidi, RunningStatusAndLongLengthsAreRead) {
  auto w = Payload();
  // Running status after a note-on; a meta of 200 bytes has a two-byte length in a payload.
  w.Raw(0, {0x90, 60, 100}).Raw(0, {62, 100}).Raw(0, {0xFF, 0x7F, 0x81, 0x48});
  w.RawNoDelta(MidiBytes(200, 0x11));
  w.Raw(0, {0x80, 60});
  const auto ev = Render(w, Mf3Header::Fresh());
  ASSERT_EQ(OfStatus(ev, 0x90).size(), 2u);
  EXPECT_EQ(OfStatus(ev, 0x90)[1].bytes, (MidiBytes{0x90, 62, 100}));
  const auto meta = OfStatus(ev, 0xFF).at(0).bytes;
  EXPECT_EQ(meta.size(), 2u + 2u + 200u);  // FF 7F, a standard length of two bytes, the data
}

TEST(PlayableMidi, DamagedPayloadsPlayNothing) {
  struct Case {
    const char* what;
    MidiWriter w;
    int error;
  };
  std::vector<Case> cases;
  {
    auto w = Payload();
    w.NoteOn(0, 0, 60, 100).OmitEndOfTrack();
    cases.push_back({"ends before its end-of-track", w, kPlayableCutShort});
  }
  {
    auto w = Payload();
    w.NoteOn(0, 0, 60, 100).Raw(0, {0xF8});
    cases.push_back({"holds a realtime status", w, kPlayableBadStatus});
  }
  {
    auto w = Payload();
    w.Raw(0, {0xF7, 0x01, 0x00});
    cases.push_back({"holds F7 as a status", w, kPlayableBadStatus});
  }
  {
    auto w = Payload();
    w.RawNoDelta({0x81, 0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100});
    cases.push_back({"a delta time of six bytes", w, kPlayableDeltaTime});
  }
  {
    auto w = Payload();
    w.Raw(0, {60, 100});
    cases.push_back({"data before any status", w, kPlayableRunningStatus});
  }
  {
    auto w = Payload();
    w.Raw(0, {0xFF, 0x01, 0x81}).OmitEndOfTrack();
    cases.push_back({"a length cut in two", w, kPlayableCutShort});
  }
  for (const Case& c : cases) {
    const PlayableMidi m = RenderPlayableMidiBytes(c.w.Build(), Mf3Header::Fresh(), false);
    EXPECT_EQ(m.error, c.error) << c.what;
    EXPECT_TRUE(m.file.empty()) << c.what;
  }
  const MidiBytes tiny = {'M', 'T', 'h', 'd'};
  EXPECT_EQ(RenderPlayableMidiBytes(tiny, Mf3Header::Fresh(), false).error, kPlayableCutShort);
}

TEST(PlayableMidi, SongLengthFollowsItsTempoMap) {
  auto w = Payload();
  w.Tempo(0, 500000).NoteOn(0, 0, 60, 100).Tempo(960, 1000000).Raw(960, {0x80, 60});
  const PlayableMidi m = RenderPlayableMidiBytes(w.Build(), Mf3Header::Fresh(), false);
  ASSERT_TRUE(m.ok());
  EXPECT_DOUBLE_EQ(m.Seconds(), 1.0 + 2.0);
  const TempoMap map(480, m.tempos);
  EXPECT_EQ(map.TickAt(1.0), 960u);
  EXPECT_EQ(map.TickAt(2.0), 1440u);
  EXPECT_DOUBLE_EQ(TempoMap(480, {}).SecondsAt(480), 0.5);  // 120 bpm until a tempo says otherwise
}

class PlayableMidiFiles : public MidiTest {};

TEST_F(PlayableMidiFiles, WritesTheFileOrNothingAndSaysWhy) {
  const std::string payload = tmp / "TEMP.MIT";
  const std::string out = tmp / "TEMP.MID";
  auto w = Payload();
  w.NoteOn(0, 0, 60, 100).Raw(480, {0x80, 60});
  w.Save(payload);
  PlayableMidi r;
  ASSERT_TRUE(RenderPlayableMidi(session(), out, payload, Mf3Header::Fresh(), false, &r));
  EXPECT_EQ(ReadBytes(out), r.file);

  // A payload that cannot be opened: the renderer's own box.
  EXPECT_FALSE(
      RenderPlayableMidi(session(), tmp / "other.mid", tmp / "missing.mit", Mf3Header::Fresh(), false));
  ASSERT_FALSE(ui.boxes.empty());
  EXPECT_EQ(ui.boxes.back().text, "Impossibile aprire il file '" + (tmp / "missing.mit") + "'!");
  EXPECT_EQ(ui.boxes.back().title, "File writing error");
  EXPECT_EQ(ui.boxes.back().icon, BoxIcon::Stop);
  EXPECT_FALSE(IsFile(tmp / "other.mid"));

  // A damaged one leaves the file of the last song as it was.
  auto bad = Payload();
  bad.NoteOn(0, 0, 60, 100).Raw(0, {0xF4});
  bad.Save(payload);
  const std::size_t boxes = ui.boxes.size();
  EXPECT_FALSE(RenderPlayableMidi(session(), out, payload, Mf3Header::Fresh(), false));
  EXPECT_EQ(ui.boxes.size(), boxes + 1);
  EXPECT_NE(ui.boxes.back().text.find("Realtime Event in Body!"), std::string::npos);
  EXPECT_EQ(ReadBytes(out), r.file);
}

}  // namespace
}  // namespace sondesk::test
