#include <gtest/gtest.h>

#include "midi/MidiStreamReader.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

struct Got {
  std::uint64_t time;
  MidiBytes bytes;
  std::uint64_t delta;
};

std::vector<Got> ReadAll(MidiStreamReader& r) {
  std::vector<Got> out;
  MidiEvent ev;
  while (r.errorCode == kStreamOk && !r.atFileEnd && !r.allTracksEnded) {
    const std::uint64_t d = NextStreamEvent(r, ev);
    if (ev.empty()) break;
    out.push_back({r.now, ev.bytes, d});
  }
  return out;
}

using StreamReader = MidiTest;

TEST_F(StreamReader, MergesTracksInTimeOrderWithTiesToTheLowerTrackAndStatusAlwaysPresent) {
  MidiWriter w(1, 96);
  w.Track().Tempo(0, 600000).NoteOn(10, 1, 60, 100);
  w.Track().RunningStatus(true).NoteOn(10, 0, 64, 90).NoteOn(0, 0, 67, 90).NoteOn(5, 0, 64, 0);
  auto r = OpenStreamReader(session(), Save(w));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->format, 1);
  EXPECT_EQ(r->trackCount, 2);
  EXPECT_EQ(r->division, 96);
  EXPECT_EQ(PeekStreamDelta(*r), 0u);
  const auto got = ReadAll(*r);
  EXPECT_EQ(r->errorCode, kStreamOk);
  EXPECT_TRUE(r->allTracksEnded);
  ASSERT_EQ(got.size(),
            7u);  // tempo, a note-on and the end of track 1, three note-ons and the end of track 2
  EXPECT_EQ(got[0].bytes, (MidiBytes{0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0}));
  EXPECT_EQ(got[1].time, 10u);
  EXPECT_EQ(got[1].delta, 10u);
  EXPECT_EQ(got[1].bytes, (MidiBytes{0x91, 60, 100}));
  EXPECT_EQ(got[2].bytes, (MidiBytes{0xFF, 0x2F, 0x00}));  // still track 1 first at tick 10
  EXPECT_EQ(got[3].bytes, (MidiBytes{0x90, 64, 90}));
  EXPECT_EQ(got[4].bytes, (MidiBytes{0x90, 67, 90}));  // running status in the file, status here
  EXPECT_EQ(got[4].delta, 0u);
  EXPECT_EQ(got[5].time, 15u);
  EXPECT_EQ(got[5].bytes, (MidiBytes{0x90, 64, 0}));
  EXPECT_TRUE(ui.boxes.empty());

  // A reset reads the same events again.
  ASSERT_TRUE(ResetStreamReader(*r));
  EXPECT_EQ(r->now, 0u);
  EXPECT_EQ(ReadAll(*r).size(), 7u);
}

TEST_F(StreamReader, SysExAndMetaLengthsOfOneOrTwoBytesAreReadWhole) {
  const std::string text128(128, 'x');
  MidiBytes sysex(1000, 0x11);
  sysex.back() = 0xF7;
  MidiWriter w(0, 480);
  w.Track().Text(0, text128);          // length bytes 81 00
  w.Raw(0, {0xFF, 0x05, 0x80, 0x7F});  // 127 written in two bytes
  w.RawNoDelta(MidiBytes(127, 'y'));
  w.SysEx(0, sysex);  // longer than the conversion's old fixed buffer
  auto r = OpenStreamReader(session(), Save(w));
  ASSERT_TRUE(r);
  MidiEvent ev;
  NextStreamEvent(*r, ev);
  ASSERT_EQ(ev.size(), 4u + 128u);
  EXPECT_EQ(ev.bytes[2], 0x81);
  EXPECT_EQ(ev.bytes[3], 0x00);
  EXPECT_EQ(ev.Text(), text128);
  NextStreamEvent(*r, ev);
  EXPECT_EQ(ev.MetaType(), 5);
  EXPECT_EQ(ev.dataLength, 127u);
  EXPECT_EQ(ev.Text(), std::string(127, 'y'));
  NextStreamEvent(*r, ev);
  ASSERT_TRUE(ev.IsSysEx());
  EXPECT_EQ(ev.dataLength, 1000u);
  EXPECT_EQ(ev.Data().back(), 0xF7);
  NextStreamEvent(*r, ev);
  EXPECT_EQ(ev.MetaType(), 0x2F);
  EXPECT_EQ(r->errorCode, kStreamOk);
}

TEST_F(StreamReader, EachFaultOfTheBodyEndsThePassWithItsMessageShownOnce) {
  struct Case {
    MidiBytes body;
    int code;
    const char* text;
  };
  const Case cases[] = {
      {{0x00, 0xF0, 0x02, 0x01, 0xF7, 0x00, 0x3C, 0x40}, kStreamRunningStatus, "Running status error!"},
      {{0x00, 0x3C, 0x40}, kStreamRunningStatus, "Running status error!"},
      {{0x00, 0xFF, 0x01, 0x00, 0x00, 0x40}, kStreamRunningStatus, "Running status error!"},
      {{0x00, 0xF8}, kStreamRealtime, "Realtime Event in Body!"},
      {{0x00, 0xF7, 0x01, 0x00}, kStreamRealtime, "Realtime Event in Body!"},
      {{0x00, 0x90, 0x3C, 0x40, 0x81, 0x82, 0x83, 0x84, 0x85}, kStreamDeltaTime, "Deltatime error!"},
      {{0x00, 0x90, 0x3C, 0x40, 0x10}, kStreamBodyEnd, "Unexpected End of File in Body!"},
  };
  for (const Case& c : cases) {
    ui.boxes.clear();
    MidiWriter w(0, 96);
    w.Track().OmitEndOfTrack().RawNoDelta(c.body);
    auto r = OpenStreamReader(session(), Save(w));
    ASSERT_TRUE(r);
    ReadAll(*r);
    EXPECT_EQ(r->errorCode, c.code) << c.text;
    ASSERT_EQ(ui.boxes.size(), 1u) << c.text;
    EXPECT_EQ(ui.boxes[0].text, c.text);
    EXPECT_EQ(ui.boxes[0].title, "SONDESK - Caution");
    // Once the error is set nothing more comes; a second pass does not show the box again.
    MidiEvent ev;
    EXPECT_EQ(NextStreamEvent(*r, ev), 0u);
    EXPECT_TRUE(ev.empty());
    ResetStreamReader(*r);
    ReadAll(*r);
    EXPECT_EQ(r->errorCode, c.code);
    EXPECT_EQ(ui.boxes.size(), 1u);
  }
}

TEST_F(StreamReader, ATrackCutByTheEndOfTheFileSetsTheFileEnd) {
  MidiWriter w(0, 96);
  w.Track().NoteOn(0, 0, 60, 100).NoteOff(96, 0, 60).DeclaredLength(400);
  auto r = OpenStreamReader(session(), Save(w));
  ASSERT_TRUE(r);
  const auto got = ReadAll(*r);
  EXPECT_EQ(got.size(), 3u);  // what was there, end of track included
  // The end-of-track event made the track inactive before any byte was missing.
  EXPECT_EQ(r->errorCode, kStreamOk);

  MidiWriter cut(0, 96);
  cut.Track().NoteOn(0, 0, 60, 100).NoteOff(96, 0, 60).OmitEndOfTrack().DeclaredLength(400);
  r = OpenStreamReader(session(), Save(cut));
  ReadAll(*r);
  EXPECT_EQ(r->errorCode, kStreamBodyEnd);
  EXPECT_TRUE(r->atFileEnd);
  EXPECT_TRUE(ui.Shown("Unexpected End of File in Body!"));
}

TEST_F(StreamReader, HeadersItCannotReadAreRefused) {
  EXPECT_FALSE(OpenStreamReader(session(), tmp / "missing.mid"));
  EXPECT_EQ(ui.debugLines.back(), "open error");

  WriteFile(tmp / "riff.mid", std::string("RIFF\0\0\0\0RMIDdata", 16));
  auto r = OpenStreamReader(session(), tmp / "riff.mid");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->errorCode, kStreamHeaderEnd);
  EXPECT_TRUE(ui.Shown("Unexpected End of File in Header!"));

  WriteFile(tmp / "short.mid", std::string("MThd\0\0\0\6\0", 9));
  r = OpenStreamReader(session(), tmp / "short.mid");
  EXPECT_EQ(r->errorCode, kStreamHeaderEnd);

  for (const std::uint16_t division : {std::uint16_t{0xE728}, std::uint16_t{0}}) {
    MidiWriter w(0, 96);
    w.RawDivision(division).Track().NoteOn(0, 0, 60, 1);
    r = OpenStreamReader(session(), Save(w));
    EXPECT_EQ(r->errorCode, kStreamDivision);
    MidiEvent ev;
    NextStreamEvent(*r, ev);
    EXPECT_TRUE(ev.empty());
  }
  EXPECT_TRUE(ui.Shown(kUnsupportedDivisionText));
}

TEST_F(StreamReader, ForeignChunksTakeNoTrackPlaceAndManyTracksAreAllRead) {
  MidiWriter w(1, 96);
  w.Track().NoteOn(0, 0, 60, 1);
  w.ForeignChunk("XFIH", {1, 2, 3});
  w.Track().NoteOn(1, 1, 61, 1);
  w.Track().NoteOn(2, 2, 62, 1);
  w.HeaderExtra({0, 0});  // a longer header chunk is passed over
  auto r = OpenStreamReader(session(), Save(w));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->tracks.size(), 3u);
  auto got = ReadAll(*r);
  EXPECT_EQ(got.size(), 6u);

  // More tracks than the original's table of 64 had room for.
  MidiWriter many(1, 96);
  for (int i = 0; i < 100; ++i) many.Track().NoteOn(static_cast<std::uint32_t>(i), i % 16, 40 + i % 50, 1);
  r = OpenStreamReader(session(), Save(many, "many.mid"));
  EXPECT_EQ(r->tracks.size(), 100u);
  got = ReadAll(*r);
  EXPECT_EQ(got.size(), 200u);
  EXPECT_EQ(r->now, 99u);
  EXPECT_EQ(r->errorCode, kStreamOk);

  // A header that promises more tracks than there are.
  MidiWriter few(1, 96);
  few.DeclaredTrackCount(5).Track().NoteOn(0, 0, 60, 1);
  r = OpenStreamReader(session(), Save(few, "few.mid"));
  EXPECT_EQ(ReadAll(*r).size(), 2u);
  EXPECT_EQ(r->errorCode, kStreamOk);
}

TEST_F(StreamReader, PeekGivesTheNextDeltaWithoutReading) {
  MidiWriter w(1, 96);
  w.Track().NoteOn(30, 0, 60, 1);
  w.Track().NoteOn(20, 0, 61, 1);
  auto r = OpenStreamReader(session(), Save(w));
  EXPECT_EQ(PeekStreamDelta(*r), 20u);
  EXPECT_EQ(PeekStreamDelta(*r), 20u);
  MidiEvent ev;
  EXPECT_EQ(NextStreamEvent(*r, ev), 20u);
  EXPECT_EQ(PeekStreamDelta(*r), 0u);  // track 2's end at 20
  ReadAll(*r);
  EXPECT_EQ(PeekStreamDelta(*r), 0u);
  EXPECT_TRUE(r->allTracksEnded);
}

}  // namespace
}  // namespace sondesk::test
