// A conversion as a whole: the texts it finds, the title it chooses, the no-text warning, what it
// does with files it cannot convert, and the test corpus.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "midi/MidiStreamReader.h"
#include "midi/MidiToPayload.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

class ConvertSong : public MidiTest {
 protected:
  int Convert(const std::string& src) { return ConvertMidiToPayload(session(), src, payload(), conv); }
  int Convert(const MidiWriter& w, const std::string& name) { return Convert(Save(w, name)); }
  std::string payload() const { return tmp / "TEMP.MID"; }
  MidiConversion conv;
};

MidiWriter WithTrackName(const std::string& name) {
  MidiWriter w(0, 96);
  w.Track().TrackName(0, name).NoteOn(10, 0, 60, 90);
  return w;
}

TEST_F(ConvertSong, TrackNamesGiveTitleAndAuthor) {
  ASSERT_EQ(Convert(WithTrackName("ABC"), "frere.mid"), 0);
  EXPECT_EQ(conv.Title(), "FRERE");  // three non-blank characters make no title

  Convert(WithTrackName("Greensleeves tune"), "gs.mid");
  EXPECT_EQ(conv.Title(), "GREENSLEEVES TUNE");  // a short file name gives way to a real title
  Convert(WithTrackName("Greensleeves tune"), "greensleeves_v2.mid");
  EXPECT_EQ(conv.Title(), "GREENSLEEVES_V2");  // a long one does not

  std::string title = "  Amazing Grace";
  title.resize(32, ' ');
  Convert(WithTrackName(title + ";Words and Music by John Newton"), "grace.mid");
  EXPECT_EQ(conv.Title(), "AMAZING GRACE");
  EXPECT_EQ(conv.Author(), "JOHN NEWTON");
  EXPECT_TRUE(conv.texts.titleTaken);

  // Only the first track name that makes a title counts.
  MidiWriter two(1, 96);
  two.Track().TrackName(0, "Short");
  two.Track().TrackName(0, "The Water Is Wide");
  two.Track().TrackName(0, "Another Long Track Name");
  Convert(two, "w.mid");
  EXPECT_EQ(conv.Title(), "THE WATER IS WIDE");
}

TEST_F(ConvertSong, ACopyrightWithASemicolonInThe33rdPlaceGivesThePublisher) {
  std::string head = "(C) Traditional, arranged by us";
  head.resize(32, ' ');
  const std::string copyright = head + ";1999 Ab";
  ASSERT_EQ(copyright.size(), 40u);
  MidiWriter w(0, 96);
  w.Track().TrackName(0, "ABC").Copyright(0, copyright).NoteOn(0, 0, 60, 1);
  ASSERT_EQ(Convert(w, "a_long_file_name.mid"), 0);
  EXPECT_TRUE(conv.PublisherFound());
  EXPECT_EQ(conv.Publisher(), "AB");
  EXPECT_EQ(conv.Copyright(), head.substr(0, 31));
  EXPECT_EQ(conv.CopyrightCopy(), conv.Copyright());
  EXPECT_EQ(conv.texts.songCopyright, copyright);
  EXPECT_EQ(conv.Title(), "A_LONG_FILE_NAME");  // a publisher but no title from the song

  MidiWriter titled(0, 96);
  titled.Track()
      .TrackName(0, "Scarborough Fair")
      .Copyright(0, head + ";- 2001 Fair Songs  ")
      .NoteOn(0, 0, 60, 1);
  Convert(titled, "a_long_file_name.mid");
  EXPECT_EQ(conv.Publisher(), "FAIR SONGS");
  EXPECT_EQ(conv.Title(), "SCARBOROUGH FAIR");  // with a publisher the song's own title stays

  MidiWriter digits(0, 96);
  digits.Track()
      .Copyright(0, head + ";1999")
      .Copyright(10, "(C) Elsewhere; not in place 33 at all")
      .NoteOn(0, 0, 60, 1);
  Convert(digits, "d.mid");
  EXPECT_EQ(conv.Publisher(), "1999");  // nothing would remain: the digits stay
  EXPECT_EQ(conv.Copyright(), "(C) Elsewhere; not in place 33 ");
}

TEST_F(ConvertSong, TheTitleIsInUpperCaseAndThePlayersCharsetBehindItsFirstThreeCharacters) {
  // "ééé été là bas" in Windows-1252.
  // Accented letters are upper-cased too; those with a display code of their own take it.
  Convert(WithTrackName("\xE9\xE9\xE9 \xE9t\xE9 l\xE0 bas \xE4\xF6"), "x.mid");
  EXPECT_EQ(conv.Title(), "\xC9\xC9\xC9 \xC9T\xC9 L\xC0 BAS \x15\x16");

  // A file name is UTF-8 here; in the header it is Windows-1252, upper case.
  Convert(WithTrackName("x"), "Perch\xC3\xA9 cos\xC3\xAC.mid");
  EXPECT_EQ(conv.Title(), "PERCH\xC9 COS\x09");

  // Texts written in UTF-8 by newer tools become Windows-1252.
  Convert(WithTrackName("\xC3\xA9t\xC3\xA9 \xC3\xA0 Paris, \xC3\xA0 Rome"), "x.mid");
  EXPECT_EQ(conv.Title(), "\xC9T\xC9 \xC0 PARIS, \xC0 ROME");

  Convert(WithTrackName(std::string(40, 'q')), "x.mid");
  EXPECT_EQ(conv.Title(), std::string(31, 'Q'));
}

TEST_F(ConvertSong, TheNoTextWarningNamesTheSongAndItsBoxSwitchesItOff) {
  ASSERT_TRUE(session().noTextWarning);
  ui.warningCheckAnswers = {false};
  Convert(WithTrackName("x"), "quiet.mid");
  ASSERT_EQ(ui.warnings.size(), 1u);
  EXPECT_EQ(ui.warnings[0], "\nThe song QUIET doesn't contain any text");
  EXPECT_FALSE(session().noTextWarning);
  Convert(WithTrackName("x"), "quiet.mid");
  EXPECT_EQ(ui.warnings.size(), 1u);
}

TEST_F(ConvertSong, NoPayloadIsWrittenForWhatCannotBeConvertedAndAnOlderOneStaysAsItWas) {
  WriteFile(payload(), std::string("old payload"));
  conv.header.channels[0].program = 7;

  EXPECT_EQ(Convert(tmp / "missing.mid"), 1);
  EXPECT_FALSE(conv.payloadWritten);
  EXPECT_TRUE(ui.Shown("Couldn't find file <" + tmp / "missing.mid" + ">"));
  EXPECT_TRUE(ui.Shown("Cannot open " + tmp / "missing.mid"));
  EXPECT_EQ(conv.header.channels[0].program, 7);  // the header is not reset either
  EXPECT_EQ(conv.Title(), "MISSING");

  WriteFile(tmp / "text.mid", std::string("just some text, no song"));
  EXPECT_EQ(Convert(tmp / "text.mid"), 1);

  MidiWriter smpte(0, 96);
  smpte.RawDivision(0xE728).Track().NoteOn(0, 0, 60, 1);
  EXPECT_EQ(Convert(smpte, "smpte.mid"), 1);
  EXPECT_TRUE(ui.Shown(kUnsupportedDivisionText));

  // A time signature of no beats: the markers would go backwards in time.
  MidiWriter zero(0, 480);
  zero.Track().TimeSignature(0, 0, 2).NoteOn(3000, 0, 60, 1);
  EXPECT_EQ(Convert(zero, "zero.mid"), 1);
  EXPECT_TRUE(ui.Shown("Error writing midifile at: 1920 tPos req= 960"));

  EXPECT_EQ(ReadFile(payload()), "old payload");

  ui.boxes.clear();
  EXPECT_EQ(ConvertMidiToPayload(session(), Save(WithTrackName("x")), tmp / "no/such/dir/P.MID", conv), 1);
  EXPECT_TRUE(ui.Shown("Cannot Create " + tmp / "no/such/dir/P.MID"));
}

TEST_F(ConvertSong, DamagedSongsKeepWhatWasReadBeforeTheDamage) {
  // The second track is cut short inside a held note: the other track plays to its end, the held
  // notes are ended where the damage is, and one box says what broke and where.
  MidiWriter cut(1, 96);
  cut.Track().NoteOn(0, 0, 60, 90).NoteOff(96, 0, 60).NoteOn(400, 0, 67, 90).NoteOff(96, 0, 67);
  cut.Track().NoteOn(0, 1, 62, 90).NoteOn(200, 1, 64, 90).OmitEndOfTrack().DeclaredLength(500);
  ASSERT_EQ(Convert(cut, "cut.mid"), 0);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].icon, BoxIcon::Warning);
  EXPECT_NE(ui.boxes[0].text.find("The file cut.mid is damaged: Unexpected End of File in Body!"),
            std::string::npos);
  EXPECT_NE(ui.boxes[0].text.find("(track 2, byte "), std::string::npos);
  EXPECT_TRUE(conv.damaged);
  EXPECT_EQ(conv.damage.track, 1);
  auto ev = ParsePayload(ReadBytes(payload()));
  EXPECT_EQ(Only(ev, 0x90).size(), 2u);
  ASSERT_EQ(Only(ev, 0x91).size(), 2u);
  const auto offs = Only(ev, 0x81);
  ASSERT_EQ(offs.size(), 2u);  // both held notes end at the damage, not never
  EXPECT_EQ(offs[0].time, 1000u);
  EXPECT_EQ(offs[1].time, 1000u);

  // Running status carried over a SysEx, as many writers do: taken, no damage.
  ui.boxes.clear();
  MidiWriter rs(0, 96);
  rs.Track().NoteOn(0, 0, 60, 90).SysEx(0, {0x7E, 0xF7}).Raw(10, {0x3E, 0x60});
  ASSERT_EQ(Convert(rs, "rs.mid"), 0);
  EXPECT_FALSE(conv.damaged);
  ev = ParsePayload(ReadBytes(payload()));
  EXPECT_EQ(Only(ev, 0x90).size(), 2u);
  EXPECT_EQ(Only(ev, 0xF0).size(), 1u);

  // A data byte with no status ever before it ends its track; the song has a second one.
  ui.boxes.clear();
  MidiWriter lost(1, 96);
  lost.Track().Raw(0, {0x3E, 0x60}).NoteOn(0, 0, 60, 90);
  lost.Track().NoteOn(0, 1, 62, 90).NoteOff(96, 1, 62);
  ASSERT_EQ(Convert(lost, "lost.mid"), 0);
  EXPECT_TRUE(ui.ShownContaining("is damaged: Running status error!\n(track 1, byte ")) << ui.boxes.at(0).text;
  EXPECT_EQ(Only(ParsePayload(ReadBytes(payload())), 0x91).size(), 1u);

  // Nothing to play before the damage: the reader's own box, and no payload.
  ui.boxes.clear();
  std::filesystem::remove(payload());
  MidiWriter nothing(0, 96);
  nothing.Track().Tempo(0, 500000).Raw(0, {0x3E, 0x60}).NoteOn(0, 0, 60, 90);
  EXPECT_EQ(Convert(nothing, "nothing.mid"), 1);
  EXPECT_TRUE(ui.Shown("Running status error!"));
  EXPECT_FALSE(ui.ShownContaining("is damaged"));
  EXPECT_FALSE(std::filesystem::exists(payload()));

  ui.boxes.clear();
  MidiWriter longSong(0, 480);
  longSong.Track().NoteOn(100, 0, 60, 90).NoteOn(static_cast<std::uint32_t>(kPayloadTimeLimit), 0, 62, 90);
  ASSERT_EQ(Convert(longSong, "long.mid"), 0);
  EXPECT_TRUE(ui.ShownContaining("Song too long!"));
  ev = ParsePayload(ReadBytes(payload()));
  EXPECT_EQ(Only(ev, 0x90).size(), 1u);
  EXPECT_LE(ev.back().time, kPayloadTimeLimit);
}

TEST_F(ConvertSong, SeventyTracksAllReachThePayload) {
  MidiWriter w(1, 96);
  for (int i = 0; i < 70; ++i) w.Track().NoteOn(static_cast<std::uint32_t>(i), i % 16, 30 + i, 90);
  ASSERT_EQ(Convert(w, "seventy.mid"), 0);
  const auto ev = ParsePayload(ReadBytes(payload()));
  std::size_t notes = 0;
  for (const auto& e : ev) notes += (e.bytes[0] & 0xF0) == 0x90 ? 1 : 0;
  EXPECT_EQ(notes, 70u);
}

TEST_F(ConvertSong, EveryCorpusFileConvertsAndTheDamagedOnesSayWhy) {
  const std::string dir = std::string(SONDESK_TEST_DATA) + "/midi";
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".mid" || ext == ".kar") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 8u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"bad_truncated_track.mid", "Track 4: Midifile error!\nAborted\n"},
      {"bad_smpte_division.mid", kUnsupportedDivisionText},
      {"bad_not_midi.mid", "This is not\na standard midifile!\nHeadchunk <> 'MThd'"},
  };
  int payloads = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    ui.boxes.clear();
    std::filesystem::remove(payload());
    const std::string name = std::filesystem::path(path).filename().string();
    const int rc = Convert(path);
    bool damaged = false;
    for (const auto& [file, message] : expected) {
      if (file != name) continue;
      damaged = true;
      // Refused with the reader's box, or salvaged with one box that says what broke.
      EXPECT_TRUE(ui.Shown(message) || ui.ShownContaining("is damaged")) << name;
    }
    if (!damaged) {
      for (const auto& b : ui.boxes) EXPECT_NE(b.icon, BoxIcon::Stop) << b.text;
    }
    if (rc != 0) {
      EXPECT_TRUE(damaged);
      EXPECT_FALSE(std::filesystem::exists(payload()));
      continue;
    }
    ++payloads;
    const auto ev = ParsePayload(ReadBytes(payload()));
    EXPECT_GT(ev.size(), 1u);
    // The stream reader reads the payload back without a fault.
    ui.boxes.clear();
    auto r = OpenPayloadReader(session(), payload());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->format, 0);
    EXPECT_EQ(r->division, 480);
    EXPECT_EQ(r->tracks.size(), 1u);
    MidiEvent e;
    std::size_t n = 0;
    while (r->errorCode == kStreamOk && !r->allTracksEnded) {
      NextStreamEvent(*r, e);
      if (e.empty()) continue;
      EXPECT_EQ(r->now, ev.at(n).time);
      if ((e.Status() & 0xF0) == 0x80) {
        EXPECT_EQ(e.bytes, (MidiBytes{ev[n].bytes[0], ev[n].bytes[1], 64}));
      }
      ++n;
    }
    EXPECT_EQ(r->errorCode, kStreamOk);
    EXPECT_EQ(n, ev.size());
    EXPECT_TRUE(ui.boxes.empty());
  }
  EXPECT_GE(payloads, 7);

  // A song of the corpus with its time signature and program changes where they belong.
  ASSERT_EQ(Convert(dir + "/greensleeves_3_4_480.mid"), 0);
  const auto ev = ParsePayload(ReadBytes(payload()));
  EXPECT_EQ(Only(ev, 0xA9).at(0).time, 1440u);
  EXPECT_EQ(conv.header.channels[0].program, 74);
  EXPECT_EQ(conv.Title(), "GREENSLEEVES_3_4_480");
}

}  // namespace
}  // namespace sondesk::test
