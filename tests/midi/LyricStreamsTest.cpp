#include <gtest/gtest.h>

#include <string>

#include "midi/LyricPages.h"
#include "midi/LyricStreams.h"
#include "midi/LyricTrack.h"

namespace sondesk {
namespace {

constexpr std::uint8_t kText = 0x01;
constexpr std::uint8_t kName = 0x03;
constexpr std::uint8_t kLyric = 0x05;

// The stream of a slot as text: characters as they are, '|' a line break, '#' a page break,
// '{...}' a chord symbol, '%' the track-name entry.
std::string Show(const std::vector<LyricEntry>& entries) {
  std::string out;
  bool inChord = false;
  for (const auto& e : entries) {
    switch (e.mark) {
      case LyricMark::Char:
        out.push_back(static_cast<char>(e.ch));
        break;
      case LyricMark::LineBreak:
        out.push_back('|');
        break;
      case LyricMark::PageBreak:
        out.push_back('#');
        break;
      case LyricMark::TrackName:
        out.push_back('%');
        break;
      case LyricMark::Chord:
        if (!inChord) out.push_back('{');
        inChord = true;
        out.push_back(static_cast<char>(e.ch));
        break;
      case LyricMark::ChordEnd:
        out.push_back('}');
        inChord = false;
        break;
    }
  }
  return out;
}

std::string Lines(const LyricPage& page) {
  std::string out;
  for (const auto& l : page.lines) out += l.text + "|";
  return out;
}

// Lyric events of one character each, a tick apart from `start` on.
void Syllables(LyricStreams& s, int track, std::uint8_t type, const std::string& text,
               std::uint32_t start = 10) {
  for (std::size_t i = 0; i < text.size(); ++i)
    s.AddMetaText(start + static_cast<std::uint32_t>(i), track, type, text.substr(i, 1));
}

TEST(LyricStreams, TuneThousandConventions) {
  LyricStreams s;
  s.AddMetaText(0, 2, kText, "@KMIDI KARAOKE FILE");  // a header at tick 0: no lyric
  s.AddMetaText(0, 2, kText, "Hello");                // nor any other text at tick 0
  s.AddMetaText(5, 2, kText, "@Tmy song");            // a later '@' line gives its '@' only
  s.AddMetaText(10, 2, kText, "\\Hel");
  s.AddMetaText(20, 2, kText, "lo ");
  s.AddMetaText(30, 2, kText, "/world");
  s.AddMetaText(40, 2, kText, "a text of thirty-nine characters, too long");
  s.AddMetaText(0, 2, kName, "Words");
  EXPECT_EQ(Show(s.slot(2 + kTextSlotOffset).entries), "@#Hello |world");
  EXPECT_EQ(Show(s.slot(2).entries), "%Words|");

  // A long track name loses its last '/' to a blank; lyric events of the same track share its slot.
  LyricStreams t;
  t.AddMetaText(0, 1, kName, "Artist/Name/A title that is long");
  t.AddMetaText(10, 1, kLyric, "la\r\n");
  t.AddMetaText(20, 1, kLyric, "la\n");
  t.AddMetaText(30, 1, kLyric, "x\ty");
  EXPECT_EQ(Show(t.slot(1).entries), "%Artist/Name A title that is long|la|la|x y");
}

TEST(LyricStreams, ChordLines) {
  LyricStreams s;
  s.AddMetaText(10, 0, kText, "Am  ");   // a chord: '~', the name and one blank
  s.AddMetaText(20, 0, kText, "Amore");  // an ordinary word
  s.AddMetaText(30, 0, kText, "sol  ");  // solfege names in any case
  s.AddMetaText(40, 0, kText, "C/G  ");  // a slash is part of a chord
  s.AddMetaText(50, 0, kLyric, "Am  ");  // lyric events are chords only with '%'
  s.AddMetaText(60, 0, kLyric, "%G7");
  EXPECT_EQ(Show(s.slot(kTextSlotOffset).entries), "{~Am }Amore{~sol }{~C/G }");
  EXPECT_EQ(Show(s.slot(0).entries), "Am  {~G7}");
  EXPECT_EQ(s.slot(kTextSlotOffset).chordLines, 3);
  EXPECT_FALSE(IsChordText("Hm  "));
  EXPECT_FALSE(IsChordText("A chord name too long  "));
  EXPECT_FALSE(IsChordText("Am "));
}

TEST(LyricStreams, LongLinesBreakAtPunctuationOrBlank) {
  // The line that made lines end near half width or inside a word: now the break follows the
  // comma in the last half of the line.
  LyricStreams s;
  Syllables(s, 0, kLyric, "Bring a song and a smile for the banjo, we sing all night");
  EXPECT_EQ(Show(s.slot(0).entries), "Bring a song and a smile for the banjo,|we sing all night");

  // Punctuation in the first half does not count; the nearest blank does, as late as it can.
  LyricStreams t;
  Syllables(t, 0, kLyric, "aaaa, bbbb cccc dddd eeee ffff gggg hhhhhh iiii");
  EXPECT_EQ(Show(t.slot(0).entries), "aaaa, bbbb cccc dddd eeee ffff gggg|hhhhhh iiii");

  // A line that fills the display exactly keeps all its characters; the blank behind ends it.
  LyricStreams u;
  Syllables(u, 0, kLyric, std::string(39, 'a') + " bb");
  EXPECT_EQ(Show(u.slot(0).entries), std::string(39, 'a') + "|bb");

  // A comma with no blank behind it: the break is put right after it.
  LyricStreams v;
  Syllables(v, 0, kLyric, "aaaa bbbb cccc dddd eeee ffff,gggg hhhhhhhh");
  EXPECT_EQ(Show(v.slot(0).entries), "aaaa bbbb cccc dddd eeee ffff,|gggg hhhhhhhh");

  // No blank at all: the break follows the 39th character. The fourth line of a page is shorter.
  LyricStreams w;
  Syllables(w, 0, kLyric, std::string(39 * 3 + 33, 'x'));
  EXPECT_EQ(Show(w.slot(0).entries), std::string(39, 'x') + "|" + std::string(39, 'x') + "|" +
                                         std::string(39, 'x') + "|" + std::string(32, 'x') + "|x");
}

TEST(LyricStreams, ChoiceOfStream) {
  LyricStreams s;
  Syllables(s, 1, kLyric, std::string(100, 'a'));
  EXPECT_EQ(s.Choose(false).slot, -1);  // 100 characters are not enough
  Syllables(s, 3, kLyric, std::string(101, 'b'));
  EXPECT_EQ(s.Choose(false).slot, 3);
  EXPECT_EQ(s.Choose(false).lyricChars, 101);

  // Text events compete; under the French rule they need half as much again.
  Syllables(s, 3, kText, std::string(140, 'c'));
  EXPECT_EQ(s.Choose(false).slot, 3 + kTextSlotOffset);
  EXPECT_EQ(s.Choose(true).slot, 3);
  Syllables(s, 4, kText, std::string(160, 'd'));
  EXPECT_EQ(s.Choose(true).slot, 4 + kTextSlotOffset);

  // A stream in bracket mode is taken only when no other qualifies.
  LyricStreams b;
  b.AddMetaText(5, 0, kLyric, "<intro>");
  Syllables(b, 0, kLyric, std::string(200, 'e'));
  EXPECT_EQ(b.Choose(false).slot, 0);
  Syllables(b, 1, kLyric, std::string(101, 'f'));
  EXPECT_EQ(b.Choose(false).slot, 1);
}

TEST(LyricStreams, ChordTrackMergesIntoTheLyrics) {
  LyricStreams s;
  Syllables(s, 1, kLyric, std::string(120, 'a'));
  for (int i = 0; i < 7; ++i) s.AddMetaText(15 + 10 * static_cast<std::uint32_t>(i), 2, kText, "G  ");
  const LyricChoice c = s.Choose(false);
  EXPECT_TRUE(s.slot(2 + kTextSlotOffset).IsChordTrack());
  EXPECT_EQ(c.slot, 1);
  EXPECT_EQ(c.chordTrackSlot, 2 + kTextSlotOffset);
  const std::string shown = Show(c.stream);
  EXPECT_EQ(shown.substr(0, 14), "aaaaaa{~G }aaa");  // the symbol at tick 15 after the character at 15
  EXPECT_EQ(c.lyricChars, 120);
}

TEST(LyricStreams, CapacityIsNeverExceeded) {
  LyricStreams s;
  for (std::uint32_t i = 0; i < 2000; ++i) s.AddMetaText(1 + i, 0, kLyric, "la la la/");
  const LyricChoice c = s.Choose(false);
  EXPECT_EQ(c.stream.size(), kLyricStreamCapacity);
  EXPECT_TRUE(c.truncated);

  // Tracks beyond the 64 slots of each kind are left out, not written elsewhere.
  LyricStreams t;
  t.AddMetaText(10, 64, kLyric, "x");
  t.AddMetaText(10, -1, kLyric, "x");
  EXPECT_TRUE(t.tracksBeyondSlots());
}

TEST(LyricPages, FourLinesAPageAndNoEmptyPage) {
  LyricStreams s;
  s.AddMetaText(0, 0, kName, "Title");
  s.AddMetaText(10, 0, kLyric, "\\one/two//three/");  // page break; the empty line is dropped
  s.AddMetaText(20, 0, kLyric, "four/five\\\\six");   // a fifth line opens the next page
  const LyricLayout layout = BuildLyricPages(s.slot(0).entries);
  ASSERT_EQ(layout.pages.size(), 4u);
  EXPECT_EQ(Lines(layout.pages[0]), "Title||||");
  EXPECT_TRUE(layout.pages[0].lines[0].trackName);
  EXPECT_EQ(Lines(layout.pages[1]), "one|two|three|four|");
  EXPECT_EQ(Lines(layout.pages[2]), "five||||");
  EXPECT_EQ(Lines(layout.pages[3]), "six||||");
  EXPECT_EQ(layout.pages[1].lines[1].times, std::vector<std::uint32_t>(3, 10));
}

TEST(LyricPages, ChordsAreCollectedUpTo200) {
  std::vector<LyricEntry> stream;
  for (std::uint32_t i = 0; i < 205; ++i) {
    stream.push_back({i, 'a', LyricMark::Char});
    for (char c : std::string("~Cmaj7sus4add9"))
      stream.push_back({i, static_cast<std::uint8_t>(c), LyricMark::Chord});
    stream.push_back({i, 0, LyricMark::ChordEnd});
  }
  const LyricLayout layout = BuildLyricPages(stream);
  ASSERT_EQ(layout.chords.size(), kLyricChordCapacity);
  EXPECT_TRUE(layout.chordsDropped);
  EXPECT_EQ(layout.chords[0].text, "Cmaj7sus4a");  // ten characters, no '~'
  EXPECT_EQ(layout.pages.size(), 1u);              // chords never split a line
}

// The events of a lyric track, one line each: "time B0 1F n" / "time SXS type text".
std::vector<std::string> Events(const LyricTrack& track) {
  std::vector<std::string> out;
  for (const auto& e : track.events) {
    std::string s = std::to_string(e.time) + " ";
    if (e.bytes[0] == 0xB0) {
      s += "C" + std::to_string(e.bytes[2]);
    } else {
      s += "S" + std::to_string(e.bytes[6]) + ":" + std::string(e.bytes.begin() + 7, e.bytes.end() - 1);
    }
    out.push_back(s);
  }
  return out;
}

TEST(LyricTrack, PageLineHighlightAndChordEvents) {
  LyricStreams s;
  s.AddMetaText(0, 0, kName, "Song");
  s.AddMetaText(1000, 0, kLyric, "\\Hel");
  s.AddMetaText(1090, 0, kLyric, "%Am");
  s.AddMetaText(1100, 0, kLyric, "lo ");
  s.AddMetaText(1101, 0, kLyric, "you");
  LyricLayout layout = BuildLyricPages(s.slot(0).entries);
  const LyricTrack track = BuildLyricTrack(layout);
  const std::vector<std::string> expected = {
      "5 S68:", "10 S3:",
      // Page 1, the track name: shown at once, advanced, never highlighted.
      "11 C127", "16 S4:Song\n", "21 S5:\n", "26 S6:\n", "31 S7:\n", "36 S8:",
      // Page 2: lines 60, 55, 50 and 45 ticks before it starts.
      "37 C127", "940 S4:Hello you\n", "945 S5:\n", "950 S6:\n", "955 S7:\n", "995 C0", "1000 S8:", "1002 C3",
      // The chord at 1090 goes out before the syllable at 1100; syllables 2 ticks apart at least.
      "1090 S1:Am", "1100 C5", "1102 C8"};
  EXPECT_EQ(Events(track), expected);
  EXPECT_FALSE(track.linesCut);
}

TEST(LyricTrack, FullLinesHaveNoLineFeed) {
  LyricLayout layout;
  LyricPage page;
  page.lines[0].text = std::string(38, 'x');
  page.lines[0].times.assign(38, 100);
  page.lines[1].text = std::string(41, 'y');
  page.lines[1].times.assign(41, 200);
  layout.pages.push_back(page);
  const LyricTrack track = BuildLyricTrack(layout);
  const auto events = Events(track);
  EXPECT_EQ(events[3], "40 S4:" + std::string(38, 'x'));
  EXPECT_EQ(events[4], "45 S5:" + std::string(39, 'y'));
  EXPECT_TRUE(track.linesCut);
  EXPECT_EQ(MakeSxsEvent(0x08, ""),
            (std::vector<std::uint8_t>{0xF0, 0x06, 0x00, 0x20, 0x24, 0x00, 0x08, 0xF7}));
}

}  // namespace
}  // namespace sondesk
