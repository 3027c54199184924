#include "gui/DemoSongs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "messages/Cp1252.h"

namespace sondesk {

namespace {

constexpr int kDivision = 480;

// One tune: the melody as "NOTE[:beats]" tokens ("C4", "G3:2", "R:1" for a rest; '|' between bars
// only for the reader), the words as syllables in the melody's order ("Twin-" joins the next
// syllable, "_" leaves a note without one, a leading '/' or '\' starts a line or a page), and one
// chord a bar ("C", "G7", "Am", "F").
struct Tune {
  DemoSongInfo info;
  const char* languageTag;  // the '@L' line
  int bpm;
  int beatsPerBar;  // quarter beats a bar
  bool sixEight;    // a bar of two dotted beats
  int program;      // melody instrument
  const char* melody;
  const char* words;
  const char* chords;
};

const Tune kTunes[] = {
    {{"TWINKLE TWINKLE.KAR", "TWINKLE TWINKLE", "Traditional", "Nursery rhyme"},
     "ENGL",
     100,
     4,
     false,
     73,
     "C4 C4 G4 G4 | A4 A4 G4:2 | F4 F4 E4 E4 | D4 D4 C4:2 | G4 G4 F4 F4 | E4 E4 D4:2 | "
     "G4 G4 F4 F4 | E4 E4 D4:2 | C4 C4 G4 G4 | A4 A4 G4:2 | F4 F4 E4 E4 | D4 D4 C4:2 | "
     "C4 C4 G4 G4 | A4 A4 G4:2 | F4 F4 E4 E4 | D4 D4 C4:2 | G4 G4 F4 F4 | E4 E4 D4:2 | "
     "G4 G4 F4 F4 | E4 E4 D4:2 | C4 C4 G4 G4 | A4 A4 G4:2 | F4 F4 E4 E4 | D4 D4 C4:2",
     "\\Twin- kle, twin- kle, lit- tle star, /How I won- der what you are! "
     "/Up a- bove the world so high, /Like a dia- mond in the sky. "
     "/Twin- kle, twin- kle, lit- tle star, /How I won- der what you are! "
     "\\When the bla- zing sun is gone, /When he no- thing shines up- on, "
     "/Then you show your lit- tle light, /Twin- kle, twin- kle, all the night. "
     "/Twin- kle, twin- kle, lit- tle star, /How I won- der what you are!",
     "C C F C G C G C C G C G C G C G C C F C G C G C G C G C G C F C G C G C G C G C G C G C G C F C G C G "
     "C "
     "C C"},
    {{"MARY HAD A LITTLE LAMB.KAR", "MARY HAD A LITTLE LAMB", "Sarah Josepha Hale", "Nursery rhyme"},
     "ENGL",
     112,
     4,
     false,
     11,
     "E4 D4 C4 D4 | E4 E4 E4:2 | D4 D4 D4:2 | E4 G4 G4:2 | E4 D4 C4 D4 | E4 E4 E4 E4 | D4 D4 E4 D4 | C4:4 | "
     "E4 D4 C4 D4 | E4 E4 E4:2 | D4 D4 D4:2 | E4 G4 G4:2 | E4 D4 C4 D4 | E4 E4 E4 E4 | D4 D4 E4 D4 | C4:4",
     "\\Ma- ry had a lit- tle lamb, /lit- tle lamb, lit- tle lamb, "
     "/Ma- ry had a lit- tle lamb, /its fleece was white as snow. "
     "\\Ev- ery- where that Ma- ry went, /Ma- ry went, Ma- ry went, "
     "/ev- ery- where that Ma- ry went /the lamb was sure to go.",
     "C C G C C C G C C C G C C C G C"},
    {{"LONDON BRIDGE.KAR", "LONDON BRIDGE", "Traditional", "Nursery rhyme"},
     "ENGL",
     108,
     4,
     false,
     0,
     "G4:1.5 A4:.5 G4 F4 | E4 F4 G4:2 | D4 E4 F4:2 | E4 F4 G4:2 | G4:1.5 A4:.5 G4 F4 | E4 F4 G4:2 | D4:2 "
     "G4:2 | "
     "E4 C4:3 | "
     "G4:1.5 A4:.5 G4 F4 | E4 F4 G4:2 | D4 E4 F4:2 | E4 F4 G4:2 | G4:1.5 A4:.5 G4 F4 | E4 F4 G4:2 | D4:2 "
     "G4:2 | "
     "E4 C4:3",
     "\\Lon- don Bridge is fall- ing down, /fall- ing down, fall- ing down. "
     "/Lon- don Bridge is fall- ing down, /my fair la- dy. "
     "\\Build it up with i- ron bars, /i- ron bars, i- ron bars. "
     "/Build it up with i- ron bars, /my fair la- dy.",
     "C C G C C C G C C C G C C C G C"},
    {{"ROW YOUR BOAT.KAR", "ROW YOUR BOAT", "Traditional", "Round"},
     "ENGL",
     90,
     3,
     true,
     24,
     "C4:1.5 C4:1.5 | C4 D4:.5 E4:1.5 | E4 D4:.5 E4 F4:.5 | G4:3 | "
     "C5:.5 C5:.5 C5:.5 G4:.5 G4:.5 G4:.5 | E4:.5 E4:.5 E4:.5 C4:.5 C4:.5 C4:.5 | G4 F4:.5 E4 D4:.5 | C4:3 | "
     "C4:1.5 C4:1.5 | C4 D4:.5 E4:1.5 | E4 D4:.5 E4 F4:.5 | G4:3 | "
     "C5:.5 C5:.5 C5:.5 G4:.5 G4:.5 G4:.5 | E4:.5 E4:.5 E4:.5 C4:.5 C4:.5 C4:.5 | G4 F4:.5 E4 D4:.5 | C4:3",
     "\\Row, row, row your boat /gent- ly down the stream. "
     "/Mer- ri- ly, mer- ri- ly, mer- ri- ly, mer- ri- ly, /life is but a dream. "
     "\\Row, row, row your boat /gent- ly down the stream. "
     "/Mer- ri- ly, mer- ri- ly, mer- ri- ly, mer- ri- ly, /life is but a dream.",
     "C C C C C C G C C C C C C C G C"},
    {{"FRERE JACQUES.KAR", "FRERE JACQUES", "Traditionnel", "Comptine"},
     "FREN",
     104,
     4,
     false,
     9,
     "C4 D4 E4 C4 | C4 D4 E4 C4 | E4 F4 G4:2 | E4 F4 G4:2 | G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | "
     "G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | C4 G3 C4:2 | C4 G3 C4:2 | "
     "C4 D4 E4 C4 | C4 D4 E4 C4 | E4 F4 G4:2 | E4 F4 G4:2 | G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | "
     "G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | C4 G3 C4:2 | C4 G3 C4:2",
     "\\Frè- re Jac- ques, /Frè- re Jac- ques, /Dor- mez- vous? /Dor- mez- vous? "
     "/Son- nez les ma- ti- nes, /Son- nez les ma- ti- nes, /Ding, dang, dong. /Ding, dang, dong. "
     "\\Frè- re Jac- ques, /Frè- re Jac- ques, /Dor- mez- vous? /Dor- mez- vous? "
     "/Son- nez les ma- ti- nes, /Son- nez les ma- ti- nes, /Ding, dang, dong. /Ding, dang, dong.",
     "C C C C C C C C C C C C C C C C"},
    {{"FRA MARTINO.KAR", "FRA MARTINO", "Tradizionale", "Filastrocca"},
     "ITAL",
     100,
     4,
     false,
     19,
     "C4 D4 E4 C4 | C4 D4 E4 C4 | E4 F4 G4:2 | E4 F4 G4:2 | G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | "
     "G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | C4 G3 C4:2 | C4 G3 C4:2 | "
     "C4 D4 E4 C4 | C4 D4 E4 C4 | E4 F4 G4:2 | E4 F4 G4:2 | G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | "
     "G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | C4 G3 C4:2 | C4 G3 C4:2",
     "\\Fra Mar- ti- no, /cam- pa- na- ro, /dor- mi tu? /dor- mi tu? "
     "/Suo- na le cam- pa- ne, /suo- na le cam- pa- ne, /din, don, dan. /din, don, dan. "
     "\\Fra Mar- ti- no, /cam- pa- na- ro, /dor- mi tu? /dor- mi tu? "
     "/Suo- na le cam- pa- ne, /suo- na le cam- pa- ne, /din, don, dan. /din, don, dan.",
     "C C C C C C C C C C C C C C C C"},
    {{"MARTINILLO.KAR", "MARTINILLO", "Tradicional", "Infantil"},
     "SPAN",
     100,
     4,
     false,
     21,
     "C4 D4 E4 C4 | C4 D4 E4 C4 | E4 F4 G4:2 | E4 F4 G4:2 | G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | "
     "G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | C4 G3 C4:2 | C4 G3 C4:2 | "
     "C4 D4 E4 C4 | C4 D4 E4 C4 | E4 F4 G4:2 | E4 F4 G4:2 | G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | "
     "G4:.5 A4:.5 G4:.5 F4:.5 E4 C4 | C4 G3 C4:2 | C4 G3 C4:2",
     "\\Mar- ti- ni- llo, /Mar- ti- ni- llo, /¿dón- de_es- tás? /¿dón- de_es- tás? "
     "/To- ca la cam- pa- na, /to- ca la cam- pa- na, /din, don, dan. /din, don, dan. "
     "\\Mar- ti- ni- llo, /Mar- ti- ni- llo, /¿dón- de_es- tás? /¿dón- de_es- tás? "
     "/To- ca la cam- pa- na, /to- ca la cam- pa- na, /din, don, dan. /din, don, dan.",
     "C C C C C C C C C C C C C C C C"},
    {{"AN DIE FREUDE.KAR", "AN DIE FREUDE", "L. van Beethoven", "Klassik"},
     "GERM",
     96,
     4,
     false,
     48,
     "E4 E4 F4 G4 | G4 F4 E4 D4 | C4 C4 D4 E4 | E4:1.5 D4:.5 D4:2 | E4 E4 F4 G4 | G4 F4 E4 D4 | C4 C4 D4 E4 "
     "| "
     "D4:1.5 C4:.5 C4:2 | "
     "E4 E4 F4 G4 | G4 F4 E4 D4 | C4 C4 D4 E4 | E4:1.5 D4:.5 D4:2 | E4 E4 F4 G4 | G4 F4 E4 D4 | C4 C4 D4 E4 "
     "| "
     "D4:1.5 C4:.5 C4:2",
     "\\Freu- de, schö- ner Göt- ter- fun- ken, /Toch- ter aus E- ly- si- um, "
     "/wir be- tre- ten feu- er- trun- ken, /Himm- li- sche, dein Hei- lig- tum! "
     "\\Dei- ne Zau- ber bin- den wie- der, /was die Mo- de streng ge- teilt; "
     "/al- le Men- schen wer- den Brü- der, /wo dein sanf- ter Flü- gel weilt.",
     "C G C G C G C G C G C G C G C G"},
};

int NotePitch(const std::string& name) {
  if (name.empty() || name[0] == 'R') return -1;
  static const int steps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  const char letter = name[0];
  if (letter < 'A' || letter > 'G') return -1;
  int pitch = steps[letter - 'A'];
  std::size_t i = 1;
  if (i < name.size() && name[i] == '#') {
    ++pitch;
    ++i;
  } else if (i < name.size() && name[i] == 'b') {
    --pitch;
    ++i;
  }
  const int octave = i < name.size() ? name[i] - '0' : 4;
  return 12 * (octave + 1) + pitch;
}

struct Note {
  int pitch;
  int ticks;
};

std::vector<Note> ParseMelody(const char* text) {
  std::vector<Note> out;
  std::istringstream in(text);
  std::string tok;
  while (in >> tok) {
    if (tok == "|") continue;
    double beats = 1.0;
    const std::size_t colon = tok.find(':');
    if (colon != std::string::npos) beats = std::stod(tok.substr(colon + 1));
    out.push_back({NotePitch(tok.substr(0, colon)), static_cast<int>(std::lround(beats * kDivision))});
  }
  return out;
}

std::vector<std::string> ParseWords(const char* text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string tok;
  while (in >> tok) {
    if (tok == "_") {
      out.emplace_back();
      continue;
    }
    for (char& c : tok) {
      if (c == '_') c = ' ';  // "de_es": two words sung as one syllable
    }
    if (tok.back() == '-') {
      tok.pop_back();
    } else {
      tok += ' ';
    }
    out.push_back(tok);
  }
  return out;
}

// The root of a chord name in the octave below middle C.
int ChordRoot(const std::string& chord) {
  const bool accidental = chord.size() > 1 && (chord[1] == '#' || chord[1] == 'b');
  return NotePitch(chord.substr(0, accidental ? 2 : 1) + "3");
}

class TrackWriter {
 public:
  void Event(int tick, std::initializer_list<std::uint8_t> bytes) {
    Put(tick, std::vector<std::uint8_t>(bytes));
  }
  void Meta(int tick, std::uint8_t type, const std::string& text) {
    std::vector<std::uint8_t> b = {0xFF, type};
    AppendVlq(b, static_cast<std::uint32_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    Put(tick, b);
  }
  std::vector<std::uint8_t> Finish(int endTick) {
    Put(std::max(endTick, last_), {0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> chunk = {'M', 'T', 'r', 'k'};
    const auto n = static_cast<std::uint32_t>(data_.size());
    chunk.push_back(static_cast<std::uint8_t>(n >> 24));
    chunk.push_back(static_cast<std::uint8_t>(n >> 16));
    chunk.push_back(static_cast<std::uint8_t>(n >> 8));
    chunk.push_back(static_cast<std::uint8_t>(n));
    chunk.insert(chunk.end(), data_.begin(), data_.end());
    return chunk;
  }
  static void AppendVlq(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t tmp[5];
    int n = 0;
    do {
      tmp[n++] = static_cast<std::uint8_t>(v & 0x7F);
      v >>= 7;
    } while (v != 0);
    while (n > 0) {
      --n;
      out.push_back(static_cast<std::uint8_t>(tmp[n] | (n > 0 ? 0x80 : 0)));
    }
  }

 private:
  void Put(int tick, const std::vector<std::uint8_t>& bytes) {
    if (tick < last_) tick = last_;
    AppendVlq(data_, static_cast<std::uint32_t>(tick - last_));
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    last_ = tick;
  }
  std::vector<std::uint8_t> data_;
  int last_ = 0;
};

// Notes as on and off events in time order on one track.
struct Timed {
  int tick;
  int order;  // offs before ons at the same tick
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> Finish(TrackWriter& w, std::vector<Timed>& events, int end) {
  std::stable_sort(events.begin(), events.end(), [](const Timed& a, const Timed& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  for (const Timed& e : events) {
    std::vector<std::uint8_t> b = e.bytes;
    if (b.size() == 3)
      w.Event(e.tick, {b[0], b[1], b[2]});
    else if (b.size() == 2)
      w.Event(e.tick, {b[0], b[1]});
  }
  return w.Finish(end);
}

}  // namespace

const std::vector<DemoSongInfo>& DemoSongList() {
  static const std::vector<DemoSongInfo> list = [] {
    std::vector<DemoSongInfo> v;
    for (const Tune& t : kTunes) v.push_back(t.info);
    return v;
  }();
  return list;
}

std::vector<std::uint8_t> DemoSongFile(std::size_t index) {
  if (index >= sizeof kTunes / sizeof kTunes[0]) return {};
  const Tune& tune = kTunes[index];
  const std::vector<Note> melody = ParseMelody(tune.melody);
  const std::vector<std::string> words = ParseWords(tune.words);
  std::vector<std::string> chords;
  {
    std::istringstream in(tune.chords);
    std::string c;
    while (in >> c) chords.push_back(c);
  }
  const int lead = tune.beatsPerBar * kDivision;  // one bar of count-in
  int songEnd = lead;
  for (const Note& n : melody) songEnd += n.ticks;
  const int bar = tune.beatsPerBar * kDivision;
  const int bars = (songEnd - lead + bar - 1) / bar;
  const int end = lead + bars * bar + kDivision;

  // Track 0: tempo, metre, the song's name.
  TrackWriter conductor;
  conductor.Meta(0, 0x03, Utf8ToCp1252(tune.info.title));
  conductor.Meta(0, 0x02, "Traditional, public domain");
  const std::uint32_t usPerQuarter = 60000000u / static_cast<std::uint32_t>(tune.bpm);
  conductor.Event(0, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(usPerQuarter >> 16),
                      static_cast<std::uint8_t>(usPerQuarter >> 8), static_cast<std::uint8_t>(usPerQuarter)});
  const bool compound = tune.sixEight;
  if (compound) {
    conductor.Event(0, {0xFF, 0x58, 0x04, 6, 3, 24, 8});
  } else {
    conductor.Event(0, {0xFF, 0x58, 0x04, static_cast<std::uint8_t>(tune.beatsPerBar), 2, 24, 8});
  }
  std::vector<std::uint8_t> t0 = conductor.Finish(end);

  // Track 1: the words in the Tune1000 manner.
  TrackWriter text;
  text.Meta(0, 0x03, "Words");
  text.Meta(0, 0x01, "@KMIDI KARAOKE FILE");
  text.Meta(0, 0x01, "@V0100");
  text.Meta(0, 0x01, "@IWritten for the SonDesk demo library");
  text.Meta(0, 0x01, std::string("@L") + tune.languageTag);
  text.Meta(0, 0x01, "@T" + Utf8ToCp1252(tune.info.title));
  text.Meta(0, 0x01, "@T" + Utf8ToCp1252(tune.info.performer));
  {
    int tick = lead;
    for (std::size_t i = 0; i < melody.size(); ++i) {
      if (i < words.size() && !words[i].empty() && melody[i].pitch >= 0)
        text.Meta(tick, 0x01, Utf8ToCp1252(words[i]));
      tick += melody[i].ticks;
    }
  }
  std::vector<std::uint8_t> t1 = text.Finish(end);

  // Track 2: the melody.
  TrackWriter mel;
  mel.Meta(0, 0x03, "Melody");
  std::vector<Timed> ev;
  ev.push_back({0, 0, {0xC0, static_cast<std::uint8_t>(tune.program)}});
  ev.push_back({0, 0, {0xB0, 7, 110}});
  {
    int tick = lead;
    for (const Note& n : melody) {
      if (n.pitch >= 0) {
        ev.push_back({tick, 1, {0x90, static_cast<std::uint8_t>(n.pitch), 100}});
        ev.push_back({tick + n.ticks * 9 / 10, 0, {0x80, static_cast<std::uint8_t>(n.pitch), 0}});
      }
      tick += n.ticks;
    }
  }
  std::vector<std::uint8_t> t2 = Finish(mel, ev, end);

  // Track 3: bass and chords, one chord a bar.
  TrackWriter acc;
  acc.Meta(0, 0x03, "Accompaniment");
  ev.clear();
  ev.push_back({0, 0, {0xC1, 32}});
  ev.push_back({0, 0, {0xC2, 4}});
  ev.push_back({0, 0, {0xB1, 7, 90}});
  ev.push_back({0, 0, {0xB2, 7, 70}});
  for (int b = 0; b < bars; ++b) {
    const std::string chord = chords.empty() ? "C" : chords[static_cast<std::size_t>(b) % chords.size()];
    const int root = ChordRoot(chord);
    const bool minor = chord.size() > 1 && chord[1] == 'm';
    const bool seventh = chord.find('7') != std::string::npos;
    const int start = lead + b * bar;
    const int half = compound ? bar / 2 : (tune.beatsPerBar == 4 ? bar / 2 : bar);
    for (int at = start; at < start + bar; at += half) {
      const auto bass = static_cast<std::uint8_t>(root - 12);
      ev.push_back({at, 1, {0x91, bass, 95}});
      ev.push_back({at + half - 20, 0, {0x81, bass, 0}});
    }
    std::vector<int> triad = {root + 12, root + 12 + (minor ? 3 : 4), root + 19};
    if (seventh) triad.push_back(root + 22);
    for (int p : triad) {
      ev.push_back({start, 1, {0x92, static_cast<std::uint8_t>(p), 60}});
      ev.push_back({start + bar - 10, 0, {0x82, static_cast<std::uint8_t>(p), 0}});
    }
  }
  std::vector<std::uint8_t> t3 = Finish(acc, ev, end);

  // Track 4: a brush of drums.
  TrackWriter drums;
  drums.Meta(0, 0x03, "Drums");
  ev.clear();
  for (int b = 0; b < bars + 1; ++b) {
    const int start = (b == 0 ? 0 : lead + (b - 1) * bar);
    const int beats = compound ? 6 : tune.beatsPerBar;
    const int beat = compound ? kDivision / 2 : kDivision;
    for (int k = 0; k < beats; ++k) {
      const int at = start + k * beat;
      const bool strong = k == 0 || (compound && k == 3) || (!compound && tune.beatsPerBar == 4 && k == 2);
      const std::uint8_t key = b == 0 ? 37 : (strong ? (k == 0 ? 36 : 38) : 42);  // count-in on the rim
      ev.push_back({at, 1, {0x99, key, static_cast<std::uint8_t>(strong ? 90 : 60)}});
      ev.push_back({at + 60, 0, {0x89, key, 0}});
    }
  }
  std::vector<std::uint8_t> t4 = Finish(drums, ev, end);

  std::vector<std::uint8_t> file = {'M',
                                    'T',
                                    'h',
                                    'd',
                                    0,
                                    0,
                                    0,
                                    6,
                                    0,
                                    1,
                                    0,
                                    5,
                                    static_cast<std::uint8_t>(kDivision >> 8),
                                    static_cast<std::uint8_t>(kDivision & 0xFF)};
  for (const auto* t : {&t0, &t1, &t2, &t3, &t4}) file.insert(file.end(), t->begin(), t->end());
  return file;
}

bool DemoSongWordsFitMelody(std::size_t index) {
  if (index >= sizeof kTunes / sizeof kTunes[0]) return false;
  std::size_t sung = 0;
  for (const Note& n : ParseMelody(kTunes[index].melody)) sung += n.pitch >= 0 ? 1 : 0;
  return ParseWords(kTunes[index].words).size() == sung;
}

std::vector<std::string> WriteDemoSongs(const std::string& folder) {
  std::vector<std::string> written;
  if (!MakeFolders(folder)) return written;
  for (std::size_t i = 0; i < DemoSongList().size(); ++i) {
    const std::string path = JoinPath(folder, DemoSongList()[i].fileName);
    if (!WriteFileAtomically(path, DemoSongFile(i))) return {};
    written.push_back(path);
  }
  return written;
}

}  // namespace sondesk
