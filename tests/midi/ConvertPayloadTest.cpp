// The payload a conversion writes: timing, markers, note-offs, header values, which events stay.

#include <gtest/gtest.h>

#include "midi/MidiToPayload.h"
#include "midi/PayloadWriter.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

class ConvertPayload : public MidiTest {
 protected:
  // Converts `w` and gives the payload's events.
  std::vector<PayloadEvent> Convert(const MidiWriter& w, const std::string& name = "song.mid") {
    const std::string src = Save(w, name);
    const std::string payload = tmp / "TEMP.MID";
    EXPECT_EQ(ConvertMidiToPayload(session(), src, payload, conv), 0);
    return ParsePayload(ReadBytes(payload));
  }
  MidiConversion conv;
};

TEST_F(ConvertPayload, TimesAreScaledTo480TicksPerQuarter) {
  MidiWriter w(1, 96);
  w.Track().Tempo(0, 500000);
  w.Track().NoteOn(96, 0, 60, 100).NoteOn(1, 0, 62, 100);
  const auto ev = Convert(w);
  const auto notes = Only(ev, 0x90);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].time, 480u);
  EXPECT_EQ(notes[1].time, 485u);
  EXPECT_EQ(Only(ev, 0xFF, 0x51).at(0).time, 0u);
}

TEST_F(ConvertPayload, BarAndBeatMarkersFollowTheTimeSignatureOnABarStart) {
  // 3/4 from tick 0: bar markers every 1440, beat markers 1 and 2 in between.
  MidiWriter w(1, 480);
  w.Track().TimeSignature(0, 3, 2);
  w.Track().NoteOn(4320, 0, 60, 100);
  auto ev = Convert(w);
  auto beats = Only(ev, 0xA8);
  auto bars = Only(ev, 0xA9);
  ASSERT_EQ(bars.size(), 3u);
  for (std::size_t i = 0; i < bars.size(); ++i) {
    EXPECT_EQ(bars[i].time, 1440 * (i + 1));
    EXPECT_EQ(bars[i].bytes, (MidiBytes{0xA9, static_cast<std::uint8_t>(i), 0}));
  }
  ASSERT_EQ(beats.size(), 6u);
  for (std::size_t i = 0; i < beats.size(); ++i) {
    EXPECT_EQ(beats[i].time, 480 * (i + 1 + i / 2));
    EXPECT_EQ(beats[i].bytes, (MidiBytes{0xA8, static_cast<std::uint8_t>(1 + i % 2), 0}));
  }

  // No time signature: bar markers only, every 1920 (here at 96 ticks per quarter).
  MidiWriter plain(0, 96);
  plain.Track().NoteOn(96 * 12, 0, 60, 100);
  ev = Convert(plain);
  EXPECT_TRUE(Only(ev, 0xA8).empty());
  bars = Only(ev, 0xA9);
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(bars[0].time, 1920u);
  EXPECT_EQ(bars[2].time, 5760u);

  // A time signature off the bar start does not count; one on a later bar start does.
  MidiWriter later(1, 480);
  later.Track().TimeSignature(100, 3, 2).TimeSignature(1820, 2, 2);
  later.Track().NoteOn(1920 + 960 * 2, 0, 60, 100);
  ev = Convert(later);
  bars = Only(ev, 0xA9);
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(bars[1].time, 2880u);
  EXPECT_EQ(Only(ev, 0xA8).size(), 2u);
  EXPECT_EQ(Only(ev, 0xFF, 0x58).size(), 2u);  // both copied
}

TEST_F(ConvertPayload, BarNumbersPastTwoFiftyFiveCarryTheirHighByte) {
  MidiWriter w(0, 480);
  w.Track().NoteOn(1920 * 257, 0, 60, 100);
  const auto bars = Only(Convert(w), 0xA9);
  ASSERT_EQ(bars.size(), 257u);
  EXPECT_EQ(bars[256].time, 1920u * 257);
  EXPECT_EQ(bars[256].bytes, (MidiBytes{0xA9, 0x00, 0x01}));
}

TEST_F(ConvertPayload, NoteOffsAreTwoBytesAndShortDrumNoteOffsAreDropped) {
  MidiWriter w(0, 480);
  w.Track()
      .NoteOn(0, 0, 60, 100)
      .NoteOff(10, 0, 60, 20)  // 80 3C 14 -> 80 3C
      .NoteOn(0, 1, 62, 100)
      .NoteOn(10, 1, 62, 0)  // 91 3E 00 -> 81 3E
      .NoteOn(0, 9, 46, 100)
      .NoteOff(10, 9, 46)  // open hi-hat: kept
      .NoteOn(0, 9, 36, 100)
      .NoteOff(10, 9, 36)  // bass drum: dropped
      .NoteOn(0, 9, 36, 100)
      .NoteOn(10, 9, 36, 0)  // given as a note-on: kept
      .NoteOff(0, 9, 61)     // outside 35 to 60: kept
      .NoteOff(0, 8, 36);    // another channel: kept
  const auto offs = Only(Convert(w), 0x80);
  const auto offs1 = Only(ParsePayload(ReadBytes(tmp / "TEMP.MID")), 0x81);
  const auto drums = Only(ParsePayload(ReadBytes(tmp / "TEMP.MID")), 0x89);
  ASSERT_EQ(offs.size(), 1u);
  EXPECT_EQ(offs[0].bytes, (MidiBytes{0x80, 60}));
  ASSERT_EQ(offs1.size(), 1u);
  EXPECT_EQ(offs1[0].bytes, (MidiBytes{0x81, 62}));
  ASSERT_EQ(drums.size(), 3u);
  EXPECT_EQ(drums[0].bytes, (MidiBytes{0x89, 46}));
  EXPECT_EQ(drums[1].bytes, (MidiBytes{0x89, 36}));
  EXPECT_EQ(drums[1].time, 50u);
  EXPECT_EQ(drums[2].bytes, (MidiBytes{0x89, 61}));
  EXPECT_EQ(Only(ParsePayload(ReadBytes(tmp / "TEMP.MID")), 0x88).size(), 1u);
}

TEST_F(ConvertPayload, TheHeaderTakesTheFirstProgramBankAndControllerValues) {
  MidiWriter w(1, 480);
  w.Track().Control(0, 2, 0, 8).Program(0, 2, 40).Control(0, 2, 7, 100).Control(0, 2, 10, 20);
  w.Track()
      .Control(5, 2, 91, 30)
      .Control(0, 2, 93, 40)
      .Program(5, 2, 41)
      .Control(0, 2, 7, 1)
      .Control(0, 2, 0, 9);
  w.Track().RunningStatus(true).Control(0, 15, 7, 0).Control(0, 15, 7, 99);
  Convert(w);
  const Mf3Header& h = conv.header;
  EXPECT_TRUE(h.HasMagic());
  EXPECT_EQ(h.channels[2].program, 40);
  EXPECT_EQ(h.channels[2].bank, 8);
  EXPECT_EQ(h.initialControllers[2], (InitialControllers{100, 20, 40, 30}));
  EXPECT_EQ(h.initialControllers[15].volume, 0);
  EXPECT_EQ(h.channels[0].program, ChannelSetup::kNone);
  EXPECT_EQ(h.channels[0].bank, ChannelSetup::kNone);
  EXPECT_EQ(h.initialControllers[0], (InitialControllers{255, 255, 255, 255}));
  EXPECT_EQ(h.channels[2].mode, 0);
  EXPECT_EQ(h.channels[2].velocityCurve, 0);
}

TEST_F(ConvertPayload, TextTrackNameMarkerAndSourceEndsAreDroppedOtherMetasStay) {
  MidiWriter w(1, 480);
  w.Track()
      .TrackName(0, "Conductor")
      .Copyright(0, "(C) Nobody")
      .Text(0, "first text")
      .Text(0, "second text")
      .Marker(10, "Chorus")
      .Tempo(10, 400000)
      .TimeSignature(0, 4, 2)
      .Meta(0, 0x59, MidiBytes{0, 0})
      .Meta(0, 0x7F, MidiBytes{0x00, 0x20, 0x24});
  w.Track().Lyric(20, "la ");
  const auto ev = Convert(w);
  EXPECT_TRUE(Only(ev, 0xFF, 0x01).empty());
  EXPECT_TRUE(Only(ev, 0xFF, 0x03).empty());
  EXPECT_TRUE(Only(ev, 0xFF, 0x06).empty());
  EXPECT_EQ(Only(ev, 0xFF, 0x2F).size(), 1u);
  EXPECT_EQ(Only(ev, 0xFF, 0x02).size(), 1u);
  EXPECT_EQ(Only(ev, 0xFF, 0x51).size(), 1u);
  EXPECT_EQ(Only(ev, 0xFF, 0x58).size(), 1u);
  EXPECT_EQ(Only(ev, 0xFF, 0x59).size(), 1u);
  EXPECT_EQ(Only(ev, 0xFF, 0x7F).size(), 1u);
  ASSERT_EQ(Only(ev, 0xFF, 0x05).size(), 1u);
  EXPECT_EQ(Only(ev, 0xFF, 0x05)[0].time, 20u);
  EXPECT_EQ(conv.texts.firstText, "first text");
}

TEST_F(ConvertPayload, PolyphonicPressureThatWouldReadAsMarkersIsLeftOut) {
  MidiWriter w(0, 480);
  w.Track().Channel(0, {0xA8, 60, 10}).Channel(0, {0xA9, 60, 10}).Channel(0, {0xA0, 60, 10});
  const auto ev = Convert(w);
  EXPECT_TRUE(Only(ev, 0xA8).empty());
  EXPECT_TRUE(Only(ev, 0xA9).empty());
  EXPECT_EQ(Only(ev, 0xA0).size(), 1u);
}

TEST_F(ConvertPayload, ChordsShowTheNextTwoAndPageLinesAnnounceTheNextOne) {
  MidiWriter w(1, 480);
  w.Track()
      .Sxs(0, 0x44)
      .Sxs(0, 0x04, "Line one\n")
      .Sxs(5, 0x05, "Line two")
      .Sxs(5, 0x06, "Line three")
      .Sxs(5, 0x07, "Line four")
      .Sxs(5, 0x01, "C")
      .Sxs(5, 0x08)
      .Sxs(5, 0x01, "G7")
      .Sxs(5, 0x01, "Am")
      .Sxs(5, 0x04, "Next page\n")
      .Sxs(5, 0x07, "Last line")
      .SysEx(5, {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7});
  const auto sx = Only(Convert(w), 0xF0);
  auto textOf = [](const PayloadEvent& e) {
    return std::string(e.bytes.begin() + 7, e.bytes.end() - 1);  // F0 len 00 20 24 00 type ... F7
  };
  ASSERT_EQ(sx.size(), 14u);
  EXPECT_EQ(textOf(sx[1]), "Line one\n");  // page lines are copied as they stand
  EXPECT_EQ(sx[4].bytes[6], 0x07);
  EXPECT_EQ(sx[5].bytes[6], 0x0F);
  EXPECT_EQ(textOf(sx[5]), "Next page");  // the announcement leaves control characters out
  EXPECT_EQ(sx[5].time, sx[4].time);
  EXPECT_EQ(textOf(sx[6]), ">C|G7|Am");
  EXPECT_EQ(sx[7].bytes[6], 0x08);
  EXPECT_EQ(textOf(sx[8]), ">G7|Am|");
  EXPECT_EQ(textOf(sx[9]), ">Am||");
  EXPECT_EQ(textOf(sx[12]), "");  // no page line after the last one
  EXPECT_EQ(sx[12].bytes[6], 0x0F);
  EXPECT_EQ(sx[13].bytes, (MidiBytes{0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}));
}

TEST_F(ConvertPayload, SongsBeyondTheOldTableAndBufferSizesKeepEverything) {
  MidiWriter w(1, 96);
  w.Track();
  for (int i = 0; i < 2100; ++i) w.Sxs(1, 0x01, "C" + std::to_string(i));
  w.Track();
  for (int i = 0; i < 530; ++i) w.Sxs(1, 0x04 + i % 4, "line " + std::to_string(i));
  MidiBytes big(1000, 0x55);
  big.back() = 0xF7;
  const std::string longText(16000, 't');
  w.Track().SysEx(3, big).Meta(0, 0x05, longText).Meta(0, 0x05, std::string(16383, 'u'));
  const auto ev = Convert(w);
  const auto sx = Only(ev, 0xF0);
  std::vector<std::string> chords, nextLines;
  for (const auto& e : sx) {
    if (e.bytes.size() > 7 && e.bytes[6] == 0x01) chords.emplace_back(e.bytes.begin() + 7, e.bytes.end() - 1);
    if (e.bytes.size() > 7 && e.bytes[6] == 0x0F)
      nextLines.emplace_back(e.bytes.begin() + 7, e.bytes.end() - 1);
  }
  ASSERT_EQ(chords.size(), 2100u);
  EXPECT_EQ(chords[2047], ">C2047|C2048|C2049");
  EXPECT_EQ(chords[2099], ">C2099||");
  ASSERT_EQ(nextLines.size(), 132u);
  EXPECT_EQ(nextLines[131], "line 528");
  bool bigFound = false;
  for (const auto& e : sx) bigFound |= e.bytes.size() == 1003 && e.bytes[3] == 0x55;
  EXPECT_TRUE(bigFound);
  const auto lyrics = Only(ev, 0xFF, 0x05);
  ASSERT_EQ(lyrics.size(), 2u);
  EXPECT_EQ(lyrics[0].bytes.size(), 4u + 16000u);
  EXPECT_EQ(lyrics[1].bytes.size(), 4u + 16383u);
}

TEST_F(ConvertPayload, ThePayloadWriterRefusesTimeGoingBackwards) {
  PayloadWriter pw(session());
  const std::uint8_t note[3] = {0x90, 60, 100};
  EXPECT_TRUE(pw.Channel(100, note));
  EXPECT_FALSE(pw.Channel(99, note));
  EXPECT_TRUE(ui.Shown("Error writing midifile at: 100 tPos req= 99"));
  EXPECT_TRUE(pw.failed());
  EXPECT_FALSE(pw.Channel(200, note));  // stopped for good
  EXPECT_EQ(ui.boxes.size(), 1u);
}

}  // namespace
}  // namespace sondesk::test
