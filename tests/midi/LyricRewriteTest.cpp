#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "messages/Cp1252.h"
#include "midi/LyricPreview.h"
#include "midi/LyricRewrite.h"
#include "midi/LyricStreams.h"
#include "midi/MidiEventStore.h"
#include "midi/MidiStreamReader.h"
#include "midi/MidiToPayload.h"
#include "midi/PlayerCharset.h"
#include "midi/SxsEvent.h"
#include "tests/midi/MidiTestSession.h"
#include "tests/support/MidiWriter.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

namespace fs = std::filesystem;
using test::MidiWriter;
using test::TempDir;

struct Fixture {
  TempDir dir;
  ScriptedUi ui;
  Session session;
  std::string work;

  explicit Fixture(int language = 1)
      : session(ui, PathsFor(dir), SystemClock(), language), work(dir / "work") {}

  static Paths PathsFor(const TempDir& d) {
    Paths p;
    p.windir = d.path();
    p.workDir = d / "work";
    p.dataDir = d / "data";
    return p;
  }
  int Rewrite(const std::string& source, LyricRewriteCounts& counts) {
    return RewriteLyricSong(session, source, work, counts);
  }
  bool WorkFile(const std::string& name) const { return fs::exists(work + "/" + name); }
};

struct Event {
  std::uint64_t time;
  std::vector<std::uint8_t> bytes;
};

std::vector<Event> ReadAll(Session& session, const std::string& path) {
  std::vector<Event> out;
  auto r = OpenStreamReader(session, path);
  EXPECT_TRUE(r);
  if (!r) return out;
  MidiEvent ev;
  while (r->errorCode == kStreamOk && !r->allTracksEnded) {
    NextStreamEvent(*r, ev);
    if (!ev.empty()) out.push_back({r->now, ev.bytes});
  }
  EXPECT_EQ(r->errorCode, kStreamOk);
  return out;
}

// Type and text of a lyric event, type -1 for any other event.
int SxsOf(const Event& e, std::string& text) {
  int type = -1;
  if (e.bytes.empty() || e.bytes[0] != 0xF0) return -1;
  const std::size_t data = e.bytes[1] & 0x80 ? 3 : 2;
  if (!ParseSxs(std::span<const std::uint8_t>(e.bytes).subspan(data), type, text)) return -1;
  return type;
}

// Every character the pages show, blanks and line feeds aside, in the order of the page events.
std::string PageCharacters(const std::vector<Event>& events, int* pageLines = nullptr) {
  std::string out;
  int lines = 0;
  for (const auto& e : events) {
    std::string text;
    const int type = SxsOf(e, text);
    if (type < kSxsPageLine1 || type > kSxsPageLine4) continue;
    EXPECT_EQ(type, kSxsPageLine1 + lines % 4) << "the lines of a page come as 04, 05, 06, 07";
    ++lines;
    for (char c : text) {
      if (c != ' ' && c != '\n') out.push_back(c);
    }
  }
  if (pageLines != nullptr) *pageLines = lines;
  return out;
}

// What each stream of a file must show, read independently of the rewrite from the event
// store: per slot the characters of its lyric, text and track-name events, in the player's codes,
// without blanks, breaks and chord lines.
std::map<int, std::string> ExpectedStreams(Session& session, const std::string& path) {
  MidiEventStore store;
  EXPECT_EQ(LoadEventStore(session, path, store), 0);
  std::map<int, std::string> slots;
  for (const auto& e : store.events) {
    const auto b = store.Bytes(e);
    if (b.size() < 3 || b[0] != 0xFF) continue;
    const int type = b[1];
    if (type != 0x01 && type != 0x03 && type != 0x05) continue;
    if (type != 0x03 && e.time == 0) continue;
    std::size_t p = 2;
    std::size_t length = 0;
    while (p < b.size()) {
      length = (length << 7) | (b[p] & 0x7F);
      if ((b[p++] & 0x80) == 0) break;
    }
    std::string raw(b.begin() + static_cast<std::ptrdiff_t>(p),
                    b.begin() + static_cast<std::ptrdiff_t>(std::min(b.size(), p + length)));
    raw = raw.substr(0, raw.find('\0'));
    std::string text = IsMultibyteUtf8(raw) ? Utf8ToCp1252(raw) : raw;
    if (text.empty() || text.size() >= 39) continue;
    if (type != 0x03 && (text[0] == '%' || (type == 0x01 && IsChordText(text)))) continue;
    if (text[0] == '@') text = "@";
    std::string& s = slots[type == 0x01 ? e.track + kTextSlotOffset : e.track];
    for (char c : text) {
      if (static_cast<unsigned char>(c) < 0x20 || c == ' ') continue;
      if (type != 0x03 && (c == '/' || c == '\\')) continue;
      s.push_back(c);
    }
    ToPlayerCharset(s);
  }
  return slots;
}

const std::string& Longest(const std::map<int, std::string>& slots) {
  static const std::string none;
  const std::string* best = &none;
  for (const auto& [slot, s] : slots) {
    if (s.size() > best->size()) best = &s;
  }
  return *best;
}

// A karaoke song: a conductor track, a words track named `name` and a melody, the lyrics
// `syllables` one a quarter note apart from bar 2 on.
MidiWriter Song(const std::vector<std::string>& syllables, bool textEvents, int division = 192,
                const char* name = nullptr) {
  MidiWriter w(1, division);
  w.Track().TrackName(0, "Conductor").Tempo(0, 500000).TimeSignature(0, 4, 2);
  w.Track().TrackName(0, name != nullptr ? name : textEvents ? "Words" : "Voice");
  if (textEvents) w.Text(0, "@KMIDI KARAOKE FILE").Text(0, "@LENGL");
  std::uint32_t t = static_cast<std::uint32_t>(4 * division);
  for (const auto& s : syllables) {
    textEvents ? w.Text(w.DeltaTo(t), s) : w.Lyric(w.DeltaTo(t), s);
    t += static_cast<std::uint32_t>(division);
  }
  w.Track().TrackName(0, "Melody").Program(0, 0, 1);
  for (std::uint32_t n = 0; n < syllables.size(); ++n) {
    w.NoteOn(n == 0 ? static_cast<std::uint32_t>(4 * division) : 0, 0, 60 + n % 12, 100)
        .NoteOff(static_cast<std::uint32_t>(division), 0, 60 + n % 12);
  }
  return w;
}

std::vector<std::string> Letters(int count) {
  return std::vector<std::string>(static_cast<std::size_t>(count), "a");
}

TEST(LyricRewrite, HowMuchLyricsAndWhatTheSongHoldsDecide) {
  Fixture f;
  LyricRewriteCounts counts;
  // Without a track name in the words track: its name would count as well.
  Song(Letters(100), false, 192, "").Save(f.dir / "a100.mid");
  Song(Letters(101), false, 192, "").Save(f.dir / "a101.mid");
  EXPECT_EQ(f.Rewrite(f.dir / "a101.mid", counts), 1);
  EXPECT_TRUE(f.WorkFile("Tune1000.MID"));
  EXPECT_EQ(counts.lyricCharCount, 101);

  // 100 characters are converted unchanged; an earlier work file does not survive to be converted.
  EXPECT_EQ(f.Rewrite(f.dir / "a100.mid", counts), 0);
  EXPECT_EQ(counts.lyricCharCount, 0);
  EXPECT_FALSE(f.WorkFile("Tune1000.MID"));

  // A song with the player's own line advances keeps them: 6 are not enough, 7 are.
  for (int advances : {6, 7}) {
    MidiWriter w = Song(Letters(150), false, 192, "");
    w.Track();
    for (int i = 0; i < advances; ++i) w.Sxs(100, kSxsLineAdvance);
    w.Save(f.dir / "sxs.mid");
    EXPECT_EQ(f.Rewrite(f.dir / "sxs.mid", counts), advances == 6 ? 1 : 0);
    EXPECT_EQ(counts.lineAdvanceCount, advances);
    EXPECT_EQ(counts.lyricCharCount, 150);
  }
  EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(LyricRewrite, RolandLyricsAreNamed) {
  Fixture f;
  for (bool withLyrics : {false, true}) {
    MidiWriter w = Song(Letters(withLyrics ? 120 : 3), true);
    w.SysEx(10, {0x41, 0x10, 0x42, 0x12, 0x7F, 0x00, 0x00, 0x01, 0xF7});
    w.SysEx(10, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});  // a GS reset is no lyric
    const std::string path = f.dir / "roland.kar";
    w.Save(path);
    f.ui.boxes.clear();
    LyricRewriteCounts counts;
    EXPECT_EQ(f.Rewrite(path, counts), withLyrics ? 1 : 0);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, "La song " + path + " contiene SXS tipo ROLAND");
    EXPECT_EQ(f.ui.boxes[0].title, "Attenzione");
    EXPECT_EQ(f.ui.boxes[0].buttons, BoxButtons::Ok);
  }
}

TEST(LyricRewrite, WorkFilesAndTheMergedSong) {
  Fixture f;
  std::vector<std::string> syllables;
  for (int i = 0; i < 40; ++i) syllables.push_back(i % 8 == 0 ? "/Twin" : "kle ");
  syllables[20] = "\\Up a";
  const std::string source = f.dir / "twinkle.kar";
  Song(syllables, true).Save(source);
  LyricRewriteCounts counts;
  ASSERT_EQ(f.Rewrite(source, counts), 1);
  for (const char* name : {"TEXT.TXT", "WB.MID", "TEMP.MID", "LOGILE.TXT", "Tune1000.MID"}) {
    EXPECT_TRUE(f.WorkFile(name)) << name;
    EXPECT_FALSE(fs::exists(name)) << name << " must not land in the current folder";
  }

  const auto original = ReadAll(f.session, source);
  const auto merged = ReadAll(f.session, f.work + "/Tune1000.MID");
  // The song is all there, in time order, and one end-of-track closes it.
  std::multiset<std::pair<std::uint64_t, std::vector<std::uint8_t>>> want, got;
  for (const auto& e : original) {
    if (!(e.bytes[0] == 0xFF && e.bytes[1] == 0x2F)) want.insert({e.time, e.bytes});
  }
  int ends = 0;
  for (std::size_t i = 0; i < merged.size(); ++i) {
    if (i > 0) {
      EXPECT_LE(merged[i - 1].time, merged[i].time);
    }
    std::string text;
    if (merged[i].bytes[0] == 0xFF && merged[i].bytes[1] == 0x2F) {
      ++ends;
    } else if (SxsOf(merged[i], text) < 0 && merged[i].bytes[0] != 0xB0) {
      got.insert({merged[i].time, merged[i].bytes});
    }
  }
  EXPECT_EQ(got, want);
  EXPECT_EQ(ends, 1);
  EXPECT_TRUE(merged.back().bytes[0] == 0xFF && merged.back().bytes[1] == 0x2F);

  // The lyric track opens with its two control events at ticks 5 and 10.
  std::vector<std::pair<std::uint64_t, int>> sxs;
  for (const auto& e : merged) {
    std::string text;
    if (const int type = SxsOf(e, text); type >= 0) sxs.push_back({e.time, type});
  }
  ASSERT_GE(sxs.size(), 2u);
  EXPECT_EQ(sxs[0], (std::pair<std::uint64_t, int>{5, kSxsReset}));
  EXPECT_EQ(sxs[1], (std::pair<std::uint64_t, int>{10, kSxsStart}));
  int lines = 0;
  EXPECT_EQ(PageCharacters(merged, &lines), Longest(ExpectedStreams(f.session, source)));
  EXPECT_EQ(lines % 4, 0);

  // One log line per event read, as "time delta length b0 b1 b2".
  const std::string log = test::ReadFile(f.work + "/LOGILE.TXT");
  EXPECT_EQ(static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n')), original.size());
  EXPECT_EQ(log.substr(0, log.find('\n')), "     0   0 12 ff 03 09");

  // The song copy is itself a song with lyrics: rewritten from the work folder, it must be read
  // whole before the work files are written anew.
  ASSERT_EQ(f.Rewrite(f.work + "/TEMP.MID", counts), 1);
  EXPECT_EQ(PageCharacters(ReadAll(f.session, f.work + "/Tune1000.MID")),
            Longest(ExpectedStreams(f.session, source)));

  const std::string preview = Cp437ToUtf8(test::ReadFile(f.work + "/TEXT.TXT"));
  std::string rule;
  for (int i = 0; i < 41; ++i) rule += "═";
  EXPECT_EQ(preview.substr(0, preview.find('\n')), "╔" + rule + "╗");
  std::string line = "Twinkle kle kle kle kle kle kle ";
  line.resize(39, ' ');
  EXPECT_NE(preview.find("\n║ " + line + " ║\n"), std::string::npos);
}

TEST(LyricRewrite, EveryLyricCharacterReachesThePagesOnce) {
  // The small corpus of our own, and songs made up here: syllables of every size, line and page
  // marks, chords between them, texts too long to be lyrics, accented letters in UTF-8.
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(SONDESK_TEST_DATA "/midi")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("bad_", 0) != 0 &&
        (entry.path().extension() == ".mid" || entry.path().extension() == ".kar")) {
      files.push_back(entry.path().string());
    }
  }
  Fixture f;
  std::mt19937 rng(1234);
  const std::vector<std::string> words = {"la",
                                          "lu ",
                                          "a",
                                          "mo",
                                          "re ",
                                          "cuo",
                                          "re ",
                                          "sou",
                                          "riez ",
                                          "\xC3\xA9t\xC3\xA9 ",
                                          "\xC3\xA7\x61 ",
                                          "tr\xC3\xA8s ",
                                          "Don't ",
                                          "stop, ",
                                          "be",
                                          "lie",
                                          "ving! ",
                                          "\xE0 ",
                                          "a longer piece of text ",
                                          "x"};
  for (int n = 0; n < 12; ++n) {
    std::vector<std::string> syllables;
    const int count = 60 + static_cast<int>(rng() % 300);
    for (int i = 0; i < count; ++i) {
      std::string s = words[rng() % words.size()];
      const unsigned roll = rng() % 100;
      if (roll < 12) s = "/" + s;
      if (roll >= 12 && roll < 15) s = "\\" + s;
      if (roll == 20) s = "Am  ";
      if (roll == 21) s = "%G";
      if (roll == 22) s = "a text that is far too long to be a lyric line";
      if (roll == 23 && n % 2 == 1) s += "\r";
      syllables.push_back(s);
    }
    const std::string path = f.dir / ("song" + std::to_string(n) + ".mid");
    Song(syllables, n % 3 == 0, n % 2 == 0 ? 192 : 480).Save(path);
    files.push_back(path);
  }

  int rewritten = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    LyricRewriteCounts counts;
    const std::string expected = Longest(ExpectedStreams(f.session, path));
    const int result = f.Rewrite(path, counts);
    if (counts.lyricCharCount <= kLyricStreamMinimum) {
      EXPECT_EQ(result, 0);
      continue;
    }
    ASSERT_EQ(result, 1);
    ++rewritten;
    int lines = 0;
    const auto merged = ReadAll(f.session, f.work + "/Tune1000.MID");
    EXPECT_EQ(PageCharacters(merged, &lines), expected);
    EXPECT_EQ(lines % 4, 0);
    EXPECT_GT(lines, 0);
  }
  EXPECT_GE(rewritten, 12);
  EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(LyricRewrite, TheConvertedPayloadCarriesThePages) {
  Fixture f(static_cast<int>(Language::French));
  for (const char* name :
       {"auld_lang_syne_192.kar", "amazing_grace_lyrics_192.mid", "au_clair_de_la_lune_utf8.mid"}) {
    SCOPED_TRACE(name);
    const std::string source = std::string(SONDESK_TEST_DATA "/midi/") + name;
    MidiConversion conversion;
    ASSERT_EQ(ConvertMidiToPayload(f.session, source, f.dir / "payload.mid", conversion), 0);
    EXPECT_TRUE(conversion.rewritten);
    std::vector<Event> payload;
    for (auto& e : test::ParsePayload(test::ReadBytes(f.dir / "payload.mid")))
      payload.push_back({e.time, e.bytes});
    std::map<int, int> types;
    for (const auto& e : payload) {
      std::string text;
      ++types[SxsOf(e, text)];
    }
    for (int type = kSxsPageLine1; type <= kSxsPageLine4; ++type) EXPECT_GT(types[type], 0) << type;
    EXPECT_GE(types[kSxsLineAdvance], 5);  // one a line; these short songs fill five full lines
    std::string shown = PageCharacters(payload);
    EXPECT_EQ(shown, Longest(ExpectedStreams(f.session, source)));
    if (std::string(name).find("clair") != std::string::npos) {
      // "écrire" on the player: é is its code 5, and the card copy turns it back.
      EXPECT_NE(shown.find("\x05"
                           "crire"),
                std::string::npos);
      FromPlayerCharset(shown);
      EXPECT_NE(shown.find("\xE9"
                           "crire"),
                std::string::npos);
      const std::string preview = Cp437ToUtf8(test::ReadFile(f.work + "/TEXT.TXT"));
      EXPECT_NE(preview.find("║ prêtemoi ta plume pour écrire un mot.   ║"), std::string::npos);
    }
  }
}

TEST(LyricRewrite, BadSourcesAreConvertedAsTheyStand) {
  Fixture f;
  LyricRewriteCounts counts;
  EXPECT_EQ(f.Rewrite(f.dir / "missing.kar", counts), 0);
  EXPECT_TRUE(counts.sourceUnreadable);
  ASSERT_FALSE(f.ui.debugLines.empty());
  EXPECT_EQ(f.ui.debugLines.back(), "File " + (f.dir / "missing.kar") + " not found");

  // A song cut short keeps the lyrics read before the damage; the rewrite says nothing itself
  // but tells the conversion where the file broke.
  const auto whole = Song(Letters(300), false).Build();
  const std::string cut = f.dir / "cut.mid";
  test::WriteFile(cut, std::vector<std::uint8_t>(
                           whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 4)));
  test::WriteFile(f.dir / "whole.mid", whole);
  ASSERT_EQ(f.Rewrite(f.dir / "whole.mid", counts), 1);
  const int wholeChars = counts.lyricCharCount;
  EXPECT_EQ(f.Rewrite(cut, counts), 1);
  EXPECT_FALSE(counts.sourceUnreadable);
  EXPECT_EQ(counts.damage.code, kStreamBodyEnd);
  EXPECT_GT(counts.lyricCharCount, 100);
  EXPECT_LT(counts.lyricCharCount, wholeChars);
  EXPECT_TRUE(f.WorkFile("Tune1000.MID"));
  EXPECT_FALSE(f.ui.ShownContaining("Unexpected End of File"));

  // An unwritable work folder: the create error, and the source is converted unchanged.
  Song(Letters(150), false).Save(f.dir / "fine.mid");
  test::WriteFile(f.dir / "blocked", "a file where the folder should be");
  EXPECT_EQ(RewriteLyricSong(f.session, f.dir / "fine.mid", f.dir / "blocked", counts), 0);
  EXPECT_TRUE(f.ui.ShownContaining("blocked"));
}

}  // namespace
}  // namespace sondesk
