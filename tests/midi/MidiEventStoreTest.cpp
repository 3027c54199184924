#include <gtest/gtest.h>

#include "midi/MidiEventStore.h"
#include "midi/MidiStreamReader.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

using EventStore = MidiTest;

MidiBytes BytesOf(const MidiEventStore& s, std::size_t i) {
  const auto b = s.Bytes(s.events.at(i));
  return MidiBytes(b.begin(), b.end());
}

TEST_F(EventStore, LoadsAllTracksAsOneTimeOrderedList) {
  MidiWriter w(1, 192);
  w.Track().Tempo(0, 400000).TrackName(0, "Conductor").Marker(100, "B");
  w.ForeignChunk("XFIH", {9, 9});
  w.Track().RunningStatus(true).NoteOn(50, 0, 60, 90).NoteOn(50, 0, 60, 0).Program(0, 0, 5);
  w.Track().SysEx(100, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
  MidiEventStore s;
  ASSERT_EQ(LoadEventStore(session(), Save(w), s), 0);
  EXPECT_TRUE(s.complete);
  EXPECT_EQ(s.trackCount, 3);  // the foreign chunk takes no track's place
  EXPECT_EQ(s.division, 192);
  EXPECT_EQ(s.tempo, 400000u);
  ASSERT_EQ(s.events.size(), 10u);
  EXPECT_EQ(s.events[0].time, 0u);
  EXPECT_EQ(BytesOf(s, 0), (MidiBytes{0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80}));
  EXPECT_EQ(BytesOf(s, 2), (MidiBytes{0x90, 60, 90}));
  EXPECT_EQ(s.events[2].track, 1);
  // Tick 100: the marker of track 0, then track 1's events, then track 2's SysEx.
  EXPECT_EQ(BytesOf(s, 3), (MidiBytes{0xFF, 0x06, 0x01, 'B'}));
  EXPECT_EQ(BytesOf(s, 4), (MidiBytes{0xFF, 0x2F, 0x00}));
  EXPECT_EQ(BytesOf(s, 5), (MidiBytes{0x90, 60, 0}));  // running status expanded
  EXPECT_EQ(BytesOf(s, 6), (MidiBytes{0xC0, 5}));
  EXPECT_EQ(BytesOf(s, 8), (MidiBytes{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_EQ(s.events[8].track, 2);
  for (std::size_t i = 1; i < s.events.size(); ++i) EXPECT_LE(s.events[i - 1].time, s.events[i].time);
  EXPECT_TRUE(ui.boxes.empty());
  FreeEventStore(s);
  EXPECT_TRUE(s.events.empty());
}

TEST_F(EventStore, LoadsTheFirstSixteenTracks) {
  MidiWriter w(1, 96);
  for (int i = 0; i < 20; ++i) w.Track().NoteOn(static_cast<std::uint32_t>(i), i % 16, 60, 1);
  MidiEventStore s;
  ASSERT_EQ(LoadEventStore(session(), Save(w), s), 0);
  EXPECT_EQ(s.trackCount, 16);
  EXPECT_EQ(s.events.size(), 32u);
  EXPECT_EQ(s.events.back().time, 15u);
}

TEST_F(EventStore, FilesItCannotTakeGetTheirMessageAndNoStore) {
  MidiEventStore s;
  EventStoreStatus status;
  EXPECT_EQ(LoadEventStore(session(), tmp / "none.mid", s, &status), 1);
  EXPECT_EQ(status, EventStoreStatus::CannotOpen);
  EXPECT_TRUE(ui.Shown("Couldn't find file <" + tmp / "none.mid" + ">"));

  WriteFile(tmp / "riff.mid", std::string("RIFF....RMID"));
  EXPECT_EQ(LoadEventStore(session(), tmp / "riff.mid", s, &status), 1);
  EXPECT_EQ(status, EventStoreStatus::NotMidi);
  EXPECT_TRUE(ui.Shown("This is not\na standard midifile!\nHeadchunk <> 'MThd'"));

  MidiWriter cut(1, 96);
  cut.Track().NoteOn(0, 0, 60, 1);
  cut.Track().NoteOn(0, 0, 61, 1).DeclaredLength(1000);
  EXPECT_EQ(LoadEventStore(session(), Save(cut), s, &status), 1);
  EXPECT_EQ(status, EventStoreStatus::TrackBeyondEnd);
  EXPECT_TRUE(ui.Shown("Track 2: Midifile error!\nAborted\n"));
  EXPECT_TRUE(s.events.empty());

  MidiWriter smpte(0, 96);
  smpte.RawDivision(0xE728).Track().NoteOn(0, 0, 60, 1);
  EXPECT_EQ(LoadEventStore(session(), Save(smpte), s, &status), 1);
  EXPECT_EQ(status, EventStoreStatus::UnsupportedDivision);
  EXPECT_TRUE(ui.Shown(kUnsupportedDivisionText));
}

TEST_F(EventStore, DamagedEventsAreReportedOnceAndTheTrackGoesOn) {
  MidiWriter w(0, 96);
  w.Track()
      .SysEx(0, {0x43, 0x12, 0x90, 0x01, 0xF7})  // a status byte inside the data
      .SysEx(0, {0x43, 0x92, 0xF7})
      .Meta(0, 0xC8, std::string("odd"))
      .Meta(0, 0xC9, std::string("odd"))
      .Raw(0, {0x40})  // a data byte with no status before it
      .Raw(0, {0xF4})  // an undefined status
      .NoteOn(0, 0, 62, 70);
  MidiEventStore s;
  ASSERT_EQ(LoadEventStore(session(), Save(w), s), 0);
  ASSERT_EQ(s.events.size(), 6u);
  EXPECT_EQ(BytesOf(s, 0), (MidiBytes{0xF0, 0x02, 0x43, 0x12}));           // truncated at the status byte
  EXPECT_EQ(BytesOf(s, 2), (MidiBytes{0xFF, 0xC8, 0x03, 'o', 'd', 'd'}));  // stored all the same
  EXPECT_EQ(BytesOf(s, 4), (MidiBytes{0x90, 62, 70}));
  EXPECT_EQ(ui.CountShown("Error in Midifile!\n\nSystemexclusive message with bit 8 set.\nTruncated!"), 1);
  EXPECT_EQ(ui.CountShown("<Unknown metaevent > 127>|200 hc8"), 1);
  EXPECT_EQ(ui.boxes.size(), 2u);

  // A chunk that ends with a delta time and no event behind it.
  MidiWriter tail(0, 96);
  tail.Track().NoteOn(0, 0, 60, 1).OmitEndOfTrack().RawNoDelta({0x10});
  ASSERT_EQ(LoadEventStore(session(), Save(tail, "tail.mid"), s), 0);
  EXPECT_EQ(s.events.size(), 1u);
  EXPECT_TRUE(s.complete);
}

TEST_F(EventStore, ASongBeyondTwoThousandBarsAsksOnce) {
  MidiWriter w(1, 96);
  const std::uint32_t limit = 96 * 8000;
  w.Track().NoteOn(limit, 0, 60, 1).NoteOn(10, 0, 61, 1);
  w.Track().NoteOn(limit + 1, 0, 62, 1);
  const std::string path = Save(w);

  MidiEventStore s;
  ui.boxAnswers = {BoxAnswer::Ok};
  ASSERT_EQ(LoadEventStore(session(), path, s), 0);
  EXPECT_TRUE(s.complete);
  EXPECT_EQ(s.events.size(), 5u);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Time > 2000 bars!|File may be corrupted!|Continue anyway?");
  EXPECT_EQ(ui.boxes[0].title, "Alert");
  EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Question);
  EXPECT_EQ(ui.boxes[0].buttons, BoxButtons::OkCancel);

  ui.boxes.clear();
  ui.boxAnswers = {BoxAnswer::Cancel};
  ASSERT_EQ(LoadEventStore(session(), path, s), 0);
  EXPECT_FALSE(s.complete);
  EXPECT_EQ(s.events.size(), 1u);  // the note at exactly 2000 bars is still in
  EXPECT_EQ(ui.boxes.size(), 2u);
  EXPECT_TRUE(ui.Shown("Attention!|File not completly loaded!"));
}

}  // namespace
}  // namespace sondesk::test
