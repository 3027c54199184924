#include "midi/KaraokeTimeline.h"

#include <algorithm>

#include "midi/PlayableMidi.h"
#include "midi/PlayerCharset.h"
#include "midi/SxsEvent.h"

namespace sondesk {

namespace {

// The player's text as the PC shows it: its letter codes back to Windows-1252, line feeds and
// the other control bytes left out.
std::string Decoded(std::string text) {
  FromPlayerCharset(text);
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20) out.push_back(c);
  }
  return out;
}

}  // namespace

std::size_t KaraokeState::LitLength() const {
  if (currentLine < 0 || currentLine > 3 || litLetters <= 0) return 0;
  const std::string& t = lines[static_cast<std::size_t>(currentLine)];
  int seen = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != ' ' && ++seen == litLetters) return i + 1;
  }
  return t.size();
}

KaraokeTimeline KaraokeTimeline::FromPayload(std::span<const std::uint8_t> payload) {
  KaraokeTimeline tl;
  const PayloadWalk walk = WalkPayload(payload, [&tl](const PayloadEvent& e) {
    if (e.status == 0xB0 && e.data[0] == 31) {
      tl.events_.push_back({e.time, e.data[1] == 127 ? Kind::PageOpen : Kind::Highlight, e.data[1], {}});
      return;
    }
    if (e.status != 0xF0) return;
    int type = 0;
    std::string text;
    if (!ParseSxs(e.body, type, text)) return;
    if (type >= kSxsPageLine1 && type <= kSxsPageLine4) {
      tl.events_.push_back({e.time, Kind::PageLine, type - kSxsPageLine1, Decoded(text)});
    } else if (type == kSxsLineAdvance) {
      tl.events_.push_back({e.time, Kind::Advance, 0, {}});
    } else if (type == kSxsChord) {
      tl.events_.push_back({e.time, Kind::Chord, 0, Decoded(text)});
    } else if (type == kSxsNextLine) {
      tl.events_.push_back({e.time, Kind::NextLine, 0, Decoded(text)});
    }
  });
  if (!walk.ok()) return {};

  // A page stands whole at its last page line before its first line advance.
  KaraokeState s;
  bool fresh = false;
  for (std::size_t i = 0; i < tl.events_.size(); ++i) {
    const int before = s.page;
    Apply(s, tl.events_[i], fresh);
    if (s.page != before) tl.pageTicks_.push_back(tl.events_[i].tick);
    if (tl.events_[i].kind == Kind::PageLine && s.currentLine < 0 && !tl.pageTicks_.empty())
      tl.pageTicks_.back() = tl.events_[i].tick;
  }
  return tl;
}

void KaraokeTimeline::Apply(KaraokeState& s, const Event& e, bool& freshPage) {
  auto openPage = [&s] {
    ++s.page;
    s.lines = {};
    s.currentLine = -1;
    s.litLetters = 0;
  };
  switch (e.kind) {
    case Kind::PageOpen:
      openPage();
      freshPage = true;
      break;
    case Kind::PageLine:
      // Songs whose lyric events came with them may open a page with its first line alone.
      if (e.value == 0 && !freshPage) openPage();
      freshPage = false;
      s.lines[static_cast<std::size_t>(e.value)] = e.text;
      break;
    case Kind::Advance: {
      int next = s.currentLine + 1;
      while (next < 4 && s.lines[static_cast<std::size_t>(next)].empty()) ++next;
      if (next < 4) s.currentLine = next;
      s.litLetters = 0;
      freshPage = false;
      break;
    }
    case Kind::Highlight:
      s.litLetters = e.value;
      break;
    case Kind::Chord: {
      std::string t = e.text;
      if (!t.empty() && t[0] == '>') t.erase(0, 1);
      const std::size_t bar = t.find('|');
      s.chord = t.substr(0, bar);
      s.nextChords.clear();
      if (bar != std::string::npos) {
        s.nextChords = t.substr(bar + 1);
        std::replace(s.nextChords.begin(), s.nextChords.end(), '|', ' ');
      }
      break;
    }
    case Kind::NextLine:
      s.nextLine = e.text;
      break;
  }
}

KaraokeState KaraokeTimeline::StateAt(std::uint64_t tick) const {
  KaraokeState s;
  bool fresh = false;
  for (const Event& e : events_) {
    if (e.tick > tick) break;
    Apply(s, e, fresh);
  }
  return s;
}

std::vector<SungLine> KaraokeTimeline::SungLines() const {
  std::vector<SungLine> out;
  KaraokeState s;
  bool fresh = false;
  for (const Event& e : events_) {
    const int before = s.currentLine;
    const int page = s.page;
    Apply(s, e, fresh);
    if (e.kind == Kind::Advance && s.currentLine >= 0 && (s.currentLine != before || s.page != page))
      out.push_back({e.tick, s.lines[static_cast<std::size_t>(s.currentLine)]});
  }
  return out;
}

}  // namespace sondesk
