#include "midi/LyricPages.h"

#include <algorithm>

namespace sondesk {

namespace {

class PageBuilder {
 public:
  explicit PageBuilder(LyricLayout& layout) : layout_(layout) {}

  void Add(const LyricEntry& e) {
    switch (e.mark) {
      case LyricMark::Char:
        line_.text.push_back(static_cast<char>(e.ch));
        line_.times.push_back(e.time);
        break;
      case LyricMark::TrackName:
        line_.trackName = true;
        break;
      case LyricMark::LineBreak:
        FinishLine();
        break;
      case LyricMark::PageBreak:
        FinishLine();
        ClosePage();
        break;
      case LyricMark::Chord:
        if (!inChord_) {
          inChord_ = true;
          chord_ = LyricChord{e.time, {}};
          if (e.ch == '~') break;
        }
        if (chord_.text.size() < kLyricChordLength) chord_.text.push_back(static_cast<char>(e.ch));
        break;
      case LyricMark::ChordEnd:
        FinishChord();
        break;
    }
  }

  void Finish() {
    FinishChord();
    FinishLine();
    ClosePage();
  }

 private:
  void FinishLine() {
    const bool shows = std::any_of(line_.text.begin(), line_.text.end(), [](char c) { return c != ' '; });
    if (shows) {
      page_.lines[lines_++] = std::move(line_);
      if (lines_ == 4) ClosePage();
    }
    line_ = LyricLine{};
  }

  void ClosePage() {
    if (lines_ == 0) return;
    layout_.pages.push_back(std::move(page_));
    page_ = LyricPage{};
    lines_ = 0;
  }

  void FinishChord() {
    if (!inChord_) return;
    inChord_ = false;
    if (chord_.text.empty()) return;
    if (layout_.chords.size() >= kLyricChordCapacity) {
      layout_.chordsDropped = true;
      return;
    }
    layout_.chords.push_back(std::move(chord_));
  }

  LyricLayout& layout_;
  LyricLine line_;
  LyricPage page_;
  std::size_t lines_ = 0;
  bool inChord_ = false;
  LyricChord chord_;
};

}  // namespace

LyricLayout BuildLyricPages(const std::vector<LyricEntry>& stream) {
  LyricLayout layout;
  PageBuilder builder(layout);
  for (const auto& e : stream) builder.Add(e);
  builder.Finish();
  // Chords of a merged chord track arrive in time order; those of the stream itself too, but a
  // stable sort costs nothing and keeps the event writer's promise of time order.
  std::stable_sort(layout.chords.begin(), layout.chords.end(),
                   [](const LyricChord& a, const LyricChord& b) { return a.time < b.time; });
  return layout;
}

}  // namespace sondesk
