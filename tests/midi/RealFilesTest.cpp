// Real MIDI and karaoke files, from the shared corpus beside the source tree: every file converts
// to a payload the player can read, or ends with a clear message and no payload; the lyric pages
// of every karaoke file hold every syllable of the chosen stream, in order, each at its time.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

#include "messages/Cp1252.h"
#include "midi/LyricRewrite.h"
#include "midi/LyricStreams.h"
#include "midi/MidiStreamReader.h"
#include "midi/MidiToPayload.h"
#include "midi/PlayerCharset.h"
#include "midi/SourceRepair.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

namespace fs = std::filesystem;

std::string CorpusDir() {
  return (fs::path(SONDESK_SOURCE_DIR) / ".." / "shared" / "corpus").lexically_normal().string();
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> out;
  std::error_code ec;
  if (!fs::is_directory(CorpusDir(), ec)) return out;
  for (const auto& e : fs::recursive_directory_iterator(CorpusDir(), ec)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (e.is_regular_file() && (ext == ".mid" || ext == ".kar")) out.push_back(e.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

#define SKIP_WITHOUT_CORPUS(files)                                                              \
  if ((files).empty()) GTEST_SKIP() << "no corpus at " << CorpusDir() << ": real-file tests skipped"

// The markers of a payload against its time signatures: each bar holds `beats` markers spaced
// by one beat (the bar marker closing it), and (beats, beat length) is one of the song's time
// signatures or, before any, the single 1920-tick beat of a song without one.
void CheckMarkers(const std::vector<PayloadEvent>& ev) {
  std::set<std::pair<int, std::uint64_t>> allowed = {{1, 1920}};
  for (const auto& e : ev) {
    if (e.bytes[0] == 0xFF && e.bytes[1] == 0x58 && e.bytes.size() >= 5 && e.bytes[4] < 16)
      allowed.insert({e.bytes[3], 1920u >> e.bytes[4]});
  }
  std::uint64_t barStart = 0;
  std::uint64_t last = 0;
  std::uint64_t beat = 0;
  int beats = 0;
  int bar = 0;
  for (const auto& e : ev) {
    if (e.bytes[0] != 0xA8 && e.bytes[0] != 0xA9) continue;
    ASSERT_EQ(e.bytes.size(), 3u);
    const std::uint64_t gap = e.time - last;
    if (beat == 0) beat = gap;
    ASSERT_EQ(gap, beat) << "marker at " << e.time;
    ++beats;
    last = e.time;
    if (e.bytes[0] == 0xA8) {
      ASSERT_EQ(e.bytes[1] | e.bytes[2] << 8, beats) << "beat number at " << e.time;
      continue;
    }
    ASSERT_EQ(e.bytes[1] | e.bytes[2] << 8, bar & 0xFFFF) << "bar number at " << e.time;
    ASSERT_TRUE(allowed.count({beats, beat})) << "bar of " << beats << " x " << beat << " at " << e.time;
    ASSERT_EQ(e.time - barStart, beats * beat);
    barStart = e.time;
    ++bar;
    beats = 0;
    beat = 0;
  }
}

// What the player would misread: a data byte of 0x80 or more in a channel event or a SysEx.
// The beat and bar markers are the player's own events, their numbers in two plain bytes.
void CheckDataBytes(const std::vector<PayloadEvent>& ev) {
  for (const auto& e : ev) {
    const std::uint8_t s = e.bytes[0];
    if (s == 0xA8 || s == 0xA9) continue;
    if (s >= 0x80 && s < 0xF0) {
      for (std::size_t i = 1; i < e.bytes.size(); ++i)
        ASSERT_LT(e.bytes[i], 0x80) << "channel event at " << e.time;
    } else if (s == 0xF0) {
      std::size_t i = 1;
      while (e.bytes[i] & 0x80) ++i;  // the length
      for (++i; i + 1 < e.bytes.size(); ++i) ASSERT_LT(e.bytes[i], 0x80) << "SysEx at " << e.time;
    }
  }
}

class RealFiles : public MidiTest {};

TEST_F(RealFiles, EveryFileConvertsOrSaysWhyAndThePayloadIsOneThePlayerReads) {
  const auto files = CorpusFiles();
  SKIP_WITHOUT_CORPUS(files);
  int clean = 0, salvaged = 0, salvagedWithLyrics = 0, refused = 0, repaired = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    ui.boxes.clear();
    const std::string payload = tmp / "TEMP.MID";
    fs::remove(payload);
    MidiConversion conv;
    const int rc = ConvertMidiToPayload(session(), path, payload, conv);
    if (rc != 0) {
      ++refused;
      EXPECT_FALSE(fs::exists(payload));
      const bool told = std::any_of(ui.boxes.begin(), ui.boxes.end(),
                                    [](const auto& b) { return b.icon == BoxIcon::Stop && !b.text.empty(); });
      EXPECT_TRUE(told) << "refused without a message";
      continue;
    }
    const auto ev = ParsePayload(ReadBytes(payload));
    CheckMarkers(ev);
    CheckDataBytes(ev);
    if (conv.repair != SourceRepair::None) {
      ++repaired;
      EXPECT_TRUE(ui.ShownContaining(SourceRepairNote(conv.repair, Utf8ToCp1252(fs::path(path).filename().string()))));
    }
    if (conv.damaged) {
      ++salvaged;
      if (conv.lineAdvancesWritten > 0) ++salvagedWithLyrics;
      EXPECT_EQ(std::count_if(ui.boxes.begin(), ui.boxes.end(), [](const auto& b) { return b.icon == BoxIcon::Warning; }),
                1) << "told once";
      EXPECT_TRUE(ui.ShownContaining("is damaged")) << "salvaged without a word";
      for (const auto& b : ui.boxes) EXPECT_NE(b.icon, BoxIcon::Stop) << b.text;
    } else {
      ++clean;
    }
  }
  std::cout << "corpus: " << files.size() << " files, " << clean << " converted whole (" << repaired
            << " of them from a repaired copy), " << salvaged
            << " damaged and salvaged (" << salvagedWithLyrics << " with lyric pages), " << refused
            << " refused\n";
  RecordProperty("converted", clean);
  RecordProperty("salvaged", salvaged);
  RecordProperty("refused", refused);
  EXPECT_GT(clean + salvaged, refused);
}

struct Syllable {
  std::uint8_t ch;
  std::uint32_t time;
  bool operator==(const Syllable&) const = default;
};

// The characters the pages must show for slot `slot`, worked out from the source's events alone:
// the texts of the slot's lyric (or text) and track-name events, as the page shows them, without
// breaks, blanks, chord lines and the file's headers at tick 0.
std::vector<Syllable> ExpectedCharacters(Session& session, const std::string& path, int slot) {
  std::vector<Syllable> out;
  auto r = OpenStreamReader(session, path, /*salvage*/ true);
  if (!r) return out;
  const bool textSlot = slot >= kTextSlotOffset;
  const int track = slot % kTextSlotOffset;
  MidiEvent ev;
  while (r->errorCode == kStreamOk && !r->allTracksEnded) {
    NextStreamEvent(*r, ev);
    if (ev.empty() || !ev.IsMeta() || r->lastTrack != track) continue;
    const int type = ev.MetaType();
    // Track names share the slot of the lyric events; text events have slots of their own.
    if (type != (textSlot ? 0x01 : 0x05) && (textSlot || type != 0x03)) continue;
    if (type != 0x03 && r->now == 0) continue;
    std::string text = ev.Text();
    if (IsMultibyteUtf8(text)) text = Utf8ToCp1252(text);
    if (text.size() >= kLyricTextLimit) continue;
    text = ToPageText(text);
    if (text.empty()) continue;
    if (type != 0x03 && (text[0] == '%' || (type == 0x01 && IsChordText(text)))) continue;
    if (type != 0x03 && text[0] == '@') text = "@";
    const auto time = static_cast<std::uint32_t>(r->now);
    for (char c : text) {
      if (c == ' ' || c == '\r' || c == '\n' || (type != 0x03 && (c == '/' || c == '\\'))) continue;
      out.push_back({PlayerCodeOf(static_cast<std::uint8_t>(c)), time});
    }
  }
  return out;
}

TEST_F(RealFiles, KaraokePagesKeepEverySyllableInOrderAtItsTime) {
  const auto files = CorpusFiles();
  SKIP_WITHOUT_CORPUS(files);
  int karaoke = 0, whole = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    LyricRewriteCounts counts;
    LyricLayout layout;
    SourceRepair repair = SourceRepair::None;
    const std::string read = RepairedSource(session(), path, tmp / "repaired", repair);
    if (RewriteLyricSong(session(), read, session().workDir(), counts, &layout) != 1) continue;
    ++karaoke;
    std::vector<Syllable> shown;
    for (const auto& page : layout.pages) {
      for (const auto& line : page.lines) {
        ASSERT_EQ(line.text.size(), line.times.size());
        EXPECT_LE(line.text.size(), kLyricLineLimits[0]) << line.text;
        for (std::size_t i = 0; i < line.text.size(); ++i) {
          const auto c = static_cast<std::uint8_t>(line.text[i]);
          EXPECT_TRUE(c >= 0x20 ? c < 0x7F : LetterOfPlayerCode(c) != c) << "byte " << int(c) << " on a page";
          if (c != ' ') shown.push_back({c, line.times[i]});
        }
      }
    }
    auto expected = ExpectedCharacters(session(), read, counts.chosenSlot);
    if (counts.lyricsCut) {
      ASSERT_LE(shown.size(), expected.size());
      expected.resize(shown.size());
    }
    std::size_t same = 0;
    while (same < shown.size() && same < expected.size() && shown[same] == expected[same]) ++same;
    EXPECT_EQ(same, expected.size()) << "pages and syllables part at character " << same << " of "
                                     << expected.size() << " (" << shown.size() << " shown)";
    EXPECT_EQ(shown.size(), expected.size());
    if (same == expected.size() && shown.size() == expected.size()) ++whole;
  }
  std::cout << "corpus: " << karaoke << " karaoke files rewritten, " << whole << " keep every syllable\n";
  EXPECT_EQ(whole, karaoke);
}

}  // namespace
}  // namespace sondesk::test
