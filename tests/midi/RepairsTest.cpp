// What real files bring and the player must never see: data bytes of 0x80 or more, accented
// letters taken for control characters, lyric streams longer than the tables.

#include <gtest/gtest.h>

#include "midi/LyricRewrite.h"
#include "midi/MidiToPayload.h"
#include "midi/PlayerCharset.h"
#include "midi/SxsEvent.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

class Repairs : public MidiTest {
 protected:
  std::vector<PayloadEvent> Convert(const MidiWriter& w, const std::string& name = "song.mid") {
    const std::string payload = tmp / "TEMP.MID";
    EXPECT_EQ(ConvertMidiToPayload(session(), Save(w, name), payload, conv), 0);
    return ParsePayload(ReadBytes(payload));
  }
  MidiConversion conv;
};

TEST_F(Repairs, DataBytesOfEightyOrMoreKeepTheirLowBitsOrTheEventGoes) {
  MidiWriter w(0, 480);
  w.Track()
      .Channel(0, {0x90, 60, 0xFF})    // velocity 255: played at 127
      .Channel(10, {0xB0, 7, 0x80})    // volume 128: 0
      .Channel(10, {0xB0, 0x87, 10})   // controller 135 would become volume 7: left out
      .Channel(10, {0x90, 62, 0x80})   // a note-on that would turn into a note-off: left out
      .Channel(10, {0x90, 0xC0, 99})   // no such key: left out
      .SysEx(10, {0x43, 0x10, 0xFF, 0x01, 0xF7})
      .NoteOff(100, 0, 60);
  const auto ev = Convert(w);
  const auto notes = Only(ev, 0x90);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].bytes, (MidiBytes{0x90, 60, 0x7F}));
  const auto controls = Only(ev, 0xB0);
  ASSERT_EQ(controls.size(), 1u);
  EXPECT_EQ(controls[0].bytes, (MidiBytes{0xB0, 7, 0}));
  const auto sysex = Only(ev, 0xF0);
  ASSERT_EQ(sysex.size(), 1u);
  EXPECT_EQ(sysex[0].bytes, (MidiBytes{0xF0, 3, 0x43, 0x10, 0xF7}));
  // Said once for the song, in one box.
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Warning);
  EXPECT_NE(ui.boxes[0].text.find("5 channel events held data bytes of 0x80 or more: 2 kept their low seven "
                                  "bits, 3 were left out."),
            std::string::npos);
  EXPECT_NE(ui.boxes[0].text.find("1 SysEx events held bytes of 0x80 or more and were cut there."),
            std::string::npos);
}

TEST_F(Repairs, AccentedLettersAreLettersOnEveryPageAndInEveryText) {
  // The page-line table keeps the player's letter codes and drops only what is no letter.
  SxsTables tables;
  tables.Add(kSxsPageLine1, "perci\x0D e cos\x0C\n\x1B");
  EXPECT_EQ(tables.PageLine(0), "perci\x0D e cos\x0C");

  // A song text goes to a page as plain ASCII and the letters that have codes.
  EXPECT_EQ(ToPageText("Perch\xE9 cos\xEC, \x93s\xEC\x94\t\xC9t\xE9 \xFF\x81\x7F\x01ok\r\n"),
            "Perch\xE9 cosi, \"si\" Et\xE9 ok\r\n");

  // A converted song's next-line events carry the accented letters of the following page line.
  MidiWriter w(0, 480);
  w.Track()
      .Sxs(0, kSxsPageLine1, "uno\n")
      .Sxs(5, kSxsPageLine1 + 1, "due\n")
      .Sxs(5, kSxsPageLine1 + 2, "tre\n")
      .Sxs(5, kSxsPageLine4, "quattro\n")
      .Sxs(100, kSxsPageLine1, "perci\x0D\n")
      .NoteOn(0, 0, 60, 90);
  const auto ev = Convert(w);
  bool found = false;
  for (const auto& e : Only(ev, 0xF0)) {
    int type = 0;
    std::string text;
    if (ParseSxs(std::span(e.bytes).subspan(2), type, text) && type == kSxsNextLine) {
      EXPECT_EQ(text, "perci\x0D");
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

// A song of `pages` pages of four lines of the Tune1000 convention ('/' ends a line, '\' a page),
// each line "lineNN la la la la la la la" sung word by word.
MidiWriter LongSong(int pages, int chords) {
  MidiWriter w(1, 96);
  w.Track();
  std::uint32_t t = 96;
  for (int p = 0; p < pages; ++p) {
    for (int l = 0; l < 4; ++l) {
      char head[48];
      std::snprintf(head, sizeof head, "L%03d-%d ", p, l);
      w.Lyric(w.DeltaTo(t), head);
      t += 24;
      for (int k = 0; k < 7; ++k, t += 24) w.Lyric(w.DeltaTo(t), k < 6 ? "la " : (l < 3 ? "la/" : "la\\"));
    }
  }
  w.Track().TrackName(0, "Chords");
  for (int c = 0; c < chords; ++c) w.Text(w.DeltaTo(static_cast<std::uint32_t>(96 + 24 * c)), "%Am");
  return w;
}

TEST_F(Repairs, LongLyricStreamsKeepWholePagesUpToTheLimitAndSaySo) {
  LyricRewriteCounts counts;
  LyricLayout layout;
  // 400 pages of 4 × 28 characters: far beyond the 10000 entries of a stream.
  ASSERT_EQ(RewriteLyricSong(session(), Save(LongSong(400, 250), "long.mid"), session().workDir(), counts, &layout),
            1);
  EXPECT_TRUE(counts.lyricsCut);
  EXPECT_TRUE(counts.chordsCut);
  EXPECT_EQ(layout.chords.size(), kLyricChordCapacity);
  ASSERT_GT(layout.pages.size(), 50u);
  ASSERT_LT(layout.pages.size(), 400u);
  for (std::size_t p = 0; p < layout.pages.size(); ++p) {
    for (int l = 0; l < 4; ++l) {
      char head[48];
      std::snprintf(head, sizeof head, "L%03zu-%d ", p, l);
      EXPECT_EQ(layout.pages[p].lines[static_cast<std::size_t>(l)].text,
                std::string(head) + "la la la la la la la")
          << "page " << p << " line " << l;
    }
  }

  // The conversion tells the user once that the rest was left out.
  ui.boxes.clear();
  MidiConversion conv;
  ASSERT_EQ(ConvertMidiToPayload(session(), tmp / "long.mid", tmp / "P.MID", conv), 0);
  EXPECT_TRUE(ui.ShownContaining("the pages end with the last whole page, the rest was left out"));
  EXPECT_EQ(ui.boxes.size(), 1u);
}

}  // namespace
}  // namespace sondesk::test

namespace sondesk::test {
namespace {

class Wrapped : public Repairs {};

TEST_F(Wrapped, WrappedAndTextModeDamagedFilesAreConvertedFromARepairedCopy) {
  MidiWriter w(0, 96);
  // A delta time of 10 and a lyric line feed: the bytes a text-mode transfer turns into CR LF.
  w.Track().NoteOn(0, 0, 60, 90).Lyric(10, "la\n").NoteOff(10, 0, 60).Control(10, 0, 7, 10);
  const MidiBytes midi = w.Build();

  // RIFF "RMID": the data chunk holds the song.
  MidiBytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'L', 'I', 'S', 'T', 2, 0, 0, 0, 'x', 'y',
                    'd', 'a', 't', 'a'};
  for (int i = 0; i < 4; ++i) riff.push_back(static_cast<std::uint8_t>(midi.size() >> (8 * i)));
  riff.insert(riff.end(), midi.begin(), midi.end());
  WriteFile(tmp / "riff.mid", riff);
  MidiConversion conv;
  ASSERT_EQ(ConvertMidiToPayload(session(), tmp / "riff.mid", tmp / "P.MID", conv), 0);
  EXPECT_EQ(conv.repair, SourceRepair::RiffWrapper);
  EXPECT_TRUE(ui.ShownContaining("The file riff.mid is a MIDI file in a RIFF wrapper"));
  EXPECT_EQ(Only(ParsePayload(ReadBytes(tmp / "P.MID")), 0x90).size(), 1u);

  // MacBinary: 128 bytes of header, the name at byte 1, the data fork's length at 83.
  MidiBytes mac(128, 0);
  mac[1] = 4;
  mac[2] = 's';
  mac[83 + 3] = static_cast<std::uint8_t>(midi.size());
  mac[83 + 2] = static_cast<std::uint8_t>(midi.size() >> 8);
  mac.insert(mac.end(), midi.begin(), midi.end());
  mac.insert(mac.end(), 50, 0x00);  // the resource fork's padding is no part of the song
  WriteFile(tmp / "mac.mid", mac);
  ASSERT_EQ(ConvertMidiToPayload(session(), tmp / "mac.mid", tmp / "P.MID", conv), 0);
  EXPECT_EQ(conv.repair, SourceRepair::MacBinary);
  EXPECT_FALSE(conv.damaged);

  // A carriage return before every line feed: taken out when the file is damaged and the copy whole.
  MidiBytes crlf;
  for (auto b : midi) {
    if (b == '\n') crlf.push_back('\r');
    crlf.push_back(b);
  }
  ASSERT_NE(crlf.size(), midi.size());
  WriteFile(tmp / "crlf.mid", crlf);
  ASSERT_EQ(ConvertMidiToPayload(session(), tmp / "crlf.mid", tmp / "P.MID", conv), 0);
  EXPECT_EQ(conv.repair, SourceRepair::TextModeTransfer);
  EXPECT_FALSE(conv.damaged);
  EXPECT_EQ(ReadBytes(tmp / "P.MID").size() > 0, true);
  const auto ev = ParsePayload(ReadBytes(tmp / "P.MID"));
  ASSERT_EQ(Only(ev, 0xB0).size(), 1u);
  EXPECT_EQ(Only(ev, 0xB0)[0].time, 30u * 5);

  // A sound file that merely holds CR LF in a text is read as it is.
  MidiWriter text(0, 96);
  text.Track().Text(0, "line one\r\nline two").NoteOn(0, 0, 60, 90);
  ASSERT_EQ(ConvertMidiToPayload(session(), Save(text, "text.mid"), tmp / "P.MID", conv), 0);
  EXPECT_EQ(conv.repair, SourceRepair::None);
}

}  // namespace
}  // namespace sondesk::test
