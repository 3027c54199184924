#include "midi/LyricTrack.h"

#include <algorithm>
#include <cstddef>

#include "midi/LyricSmfWriter.h"
#include "midi/SxsEvent.h"

namespace sondesk {

namespace {

constexpr std::uint32_t kControlGap = 2;
constexpr std::uint32_t kSxsGap = 5;
constexpr std::int64_t kPageLead = 60;   // the first page line goes out this long before its page
constexpr std::int64_t kLineLead = 5;    // and each further line this much later
constexpr std::int64_t kChordEarly = 3;  // a chord this much before a line goes out ahead of it

class TrackBuilder {
 public:
  TrackBuilder(const LyricLayout& layout, LyricTrack& track) : layout_(layout), track_(track) {}

  void Build() {
    Put(5, 0, MakeSxsEvent(kSxsReset, ""));
    Put(10, 0, MakeSxsEvent(kSxsStart, ""));
    for (const auto& page : layout_.pages) Page(page);
    while (nextChord_ < layout_.chords.size()) Chord();
  }

 private:
  // The event at `wanted`, or `gap` ticks after the previous event when that is later.
  void Put(std::int64_t wanted, std::uint32_t gap, std::vector<std::uint8_t> bytes) {
    std::int64_t t = std::max<std::int64_t>(wanted, 0);
    if (any_) t = std::max<std::int64_t>(t, static_cast<std::int64_t>(last_) + gap);
    last_ = static_cast<std::uint32_t>(std::min<std::int64_t>(t, 0x0FFFFFFF));
    any_ = true;
    track_.events.push_back({last_, std::move(bytes)});
  }

  void Controller(std::int64_t wanted, std::uint8_t value, std::uint32_t gap = kControlGap) {
    Put(wanted, gap, {0xB0, 0x1F, value});
  }

  void Chord() {
    const auto& c = layout_.chords[nextChord_++];
    Put(c.time, kControlGap, MakeSxsEvent(kSxsChord, c.text));
  }

  template <typename Due>
  void ChordsWhile(Due due) {
    while (nextChord_ < layout_.chords.size() &&
           due(static_cast<std::int64_t>(layout_.chords[nextChord_].time)))
      Chord();
  }

  std::string Shown(const LyricLine& line) {
    if (line.text.size() <= kPageLineWidth) return line.text;
    track_.linesCut = true;
    return line.text.substr(0, kPageLineWidth);
  }

  void Page(const LyricPage& page) {
    std::int64_t start = -1;
    for (const auto& line : page.lines) {
      if (!line.empty()) {
        start = line.times.front();
        break;
      }
    }
    if (start < 0) return;
    ChordsWhile([&](std::int64_t t) { return t < start - kPageLead; });
    Put(static_cast<std::int64_t>(last_) + 1, 1, {0xB0, 0x1F, 0x7F});
    for (std::size_t i = 0; i < 4; ++i) {
      std::string text = Shown(page.lines[i]);
      // Only a line that fills the display needs no line feed to end it.
      if (text.size() < kPageLineWidth - 1) text.push_back('\n');
      Put(start - kPageLead + kLineLead * static_cast<std::int64_t>(i), kSxsGap,
          MakeSxsEvent(kSxsPageLine1 + static_cast<int>(i), text));
    }
    for (const auto& line : page.lines) {
      if (!line.empty()) Line(line);
    }
  }

  void Line(const LyricLine& line) {
    const std::int64_t first = line.times.front();
    ChordsWhile([&](std::int64_t t) { return t < first - kChordEarly; });
    // The reset waits until just before the line starts, so the previous line stays lit while
    // its last syllable is sung.
    if (!line.trackName) Controller(first - static_cast<std::int64_t>(kSxsGap), 0);
    Put(first, kSxsGap, MakeSxsEvent(kSxsLineAdvance, ""));
    if (line.trackName) return;
    const std::size_t shown = std::min(line.text.size(), kPageLineWidth);
    int lit = 0;
    std::size_t i = 0;
    while (i < shown) {
      const std::uint32_t t = line.times[i];
      std::size_t end = i;
      int letters = lit;
      while (end < shown && line.times[end] == t) {
        if (line.text[end] != ' ') ++letters;
        ++end;
      }
      if (letters > lit) {
        ChordsWhile([&](std::int64_t ct) { return ct <= t; });
        Controller(t, static_cast<std::uint8_t>(std::min(letters, 127)));
        lit = letters;
      }
      i = end;
    }
  }

  const LyricLayout& layout_;
  LyricTrack& track_;
  std::size_t nextChord_ = 0;
  std::uint32_t last_ = 0;
  bool any_ = false;
};

}  // namespace

std::vector<std::uint8_t> MakeSxsEvent(int type, const std::string& text) {
  const std::vector<std::uint8_t> data = MakeSxsData(type, text);
  std::vector<std::uint8_t> out{0xF0};
  AppendMidiVlq(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

LyricTrack BuildLyricTrack(const LyricLayout& layout) {
  LyricTrack track;
  TrackBuilder(layout, track).Build();
  return track;
}

}  // namespace sondesk
