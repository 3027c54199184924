#include "midi/LyricStreams.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "messages/Cp1252.h"
#include "midi/PlayerCharset.h"

namespace sondesk {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool IsBreakPunctuation(std::uint8_t c) {
  return c == ',' || c == '.' || c == ';' || c == ':' || c == '?' || c == '!';
}

}  // namespace

bool IsChordText(std::string_view text) {
  if (text.size() >= 17 || text.size() < 3) return false;
  if (text[text.size() - 1] != ' ' || text[text.size() - 2] != ' ') return false;
  if (text[0] >= 'A' && text[0] <= 'G') return true;
  for (std::string_view note : {"DO", "RE", "MI", "FA", "SOL", "LA", "SI"}) {
    if (StartsWithNoCase(text, note)) return true;
  }
  return false;
}

int LyricSlot::LyricCharacters() const {
  return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                        [](const LyricEntry& e) { return e.mark == LyricMark::Char; }));
}

bool LyricStreams::Append(LyricSlot& s, LyricEntry e) {
  if (s.entries.size() >= kLyricStreamCapacity) {
    s.full = true;
    return false;
  }
  s.entries.push_back(e);
  return true;
}

void LyricStreams::AppendChar(LyricSlot& s, std::uint32_t time, std::uint8_t ch) {
  ch = PlayerCodeOf(ch);
  if (!Append(s, {time, ch, LyricMark::Char})) return;
  s.line.push_back(s.entries.size() - 1);
  s.lineHasInk = s.lineHasInk || ch != ' ';
  s.afterCarriageReturn = false;
  if (static_cast<int>(s.line.size()) > kLyricLineLimits[static_cast<std::size_t>(s.lineCounter)]) Wrap(s);
}

// Only a line that shows something takes a place on the page; the page builder drops the others,
// and the counter must stay in step with it so that the short fourth line gets its own limit.
void LyricStreams::AdvanceLine(LyricSlot& s, bool hadInk) {
  if (hadInk) s.lineCounter = (s.lineCounter + 1) % 4;
}

void LyricStreams::EndLine(LyricSlot& s, std::uint32_t time, LyricMark mark) {
  Append(s, {time, 0, mark});
  if (mark == LyricMark::PageBreak) {
    s.lineCounter = 0;
  } else {
    AdvanceLine(s, s.lineHasInk);
  }
  s.line.clear();
  s.lineHasInk = false;
  s.afterCarriageReturn = false;
}

// A character has arrived that no longer fits the line. A singer reads whole words and phrases:
// the break goes behind punctuation in the last half of the line, else to the nearest blank, so
// lines are as full as the display allows; only a word longer than the line is cut.
void LyricStreams::Wrap(LyricSlot& s) {
  for (;;) {
    const auto limit = static_cast<std::size_t>(kLyricLineLimits[static_cast<std::size_t>(s.lineCounter)]);
    if (s.line.size() <= limit) return;
    const auto ch = [&](std::size_t i) { return s.entries[s.line[i]].ch; };
    std::size_t blank = limit + 1;  // index in s.line of a blank that becomes the break
    std::size_t after = limit + 1;  // else: index in s.line behind which a break is inserted
    for (std::size_t p = limit; p-- > limit / 2;) {
      if (IsBreakPunctuation(ch(p))) {
        if (ch(p + 1) == ' ') {
          blank = p + 1;  // the blank behind the mark takes the break: no line starts with it
        } else {
          after = p;
        }
        break;
      }
    }
    for (std::size_t j = limit + 1; blank > limit && after > limit && j-- > 1;) {
      if (ch(j) == ' ') blank = j;
    }
    if (blank > limit && after > limit) after = limit - 1;
    std::size_t rest = 0;  // index in s.line of the first character of the next line
    if (blank <= limit) {
      s.entries[s.line[blank]].mark = LyricMark::LineBreak;
      s.entries[s.line[blank]].ch = 0;
      rest = blank + 1;
    } else {
      if (s.entries.size() >= kLyricStreamCapacity) {
        // No room for the break: the stream ends here; the page writer cuts what is too long.
        s.full = true;
        s.line.clear();
        return;
      }
      const std::size_t at = s.line[after] + 1;
      s.entries.insert(s.entries.begin() + static_cast<std::ptrdiff_t>(at),
                       LyricEntry{s.entries[at - 1].time, 0, LyricMark::LineBreak});
      for (std::size_t i = after + 1; i < s.line.size(); ++i) ++s.line[i];
      rest = after + 1;
    }
    bool finishedInk = false;
    for (std::size_t i = 0; i < rest; ++i) finishedInk = finishedInk || (ch(i) != ' ' && ch(i) != 0);
    s.line.erase(s.line.begin(), s.line.begin() + static_cast<std::ptrdiff_t>(rest));
    s.lineHasInk = std::any_of(s.line.begin(), s.line.end(), [&](std::size_t i) { return s.entries[i].ch != ' '; });
    AdvanceLine(s, finishedInk);
  }
}

void LyricStreams::AddChordLine(LyricSlot& s, std::uint32_t time, std::string_view text, bool percentForm) {
  std::string chord;
  if (percentForm) {
    chord = std::string(text);
    chord[0] = '~';
  } else {
    chord = "~" + std::string(text.substr(0, text.size() - 1));
  }
  for (char c : chord) {
    if (c == '\r' || c == '\n') continue;
    Append(s, {time, PlayerCodeOf(static_cast<std::uint8_t>(c)), LyricMark::Chord});
  }
  Append(s, {time, 0, LyricMark::ChordEnd});
  ++s.chordLines;
}

void LyricStreams::AddTrackName(LyricSlot& s, std::uint32_t time, std::string name) {
  if (name.size() > 28) {
    const auto slash = name.rfind('/');
    if (slash != std::string::npos) name[slash] = ' ';
  }
  // The name is a line of its own: a lyric line that is still open ends first.
  if (!s.line.empty()) EndLine(s, time, LyricMark::LineBreak);
  Append(s, {time, '%', LyricMark::TrackName});
  for (char c : name) {
    if (c == '\r' || c == '\n') continue;
    AppendChar(s, time, static_cast<std::uint8_t>(c));
  }
  EndLine(s, time, LyricMark::LineBreak);
}

void LyricStreams::AddLyricText(LyricSlot& s, std::uint32_t time, std::string_view text) {
  if (text[0] == '@') {
    AppendChar(s, time, '@');
    return;
  }
  for (char c : text) {
    switch (c) {
      case '/':
        EndLine(s, time, LyricMark::LineBreak);
        break;
      case '\\':
        EndLine(s, time, LyricMark::PageBreak);
        break;
      case '\r':
        EndLine(s, time, LyricMark::LineBreak);
        s.afterCarriageReturn = true;
        break;
      case '\n':
        // CR LF is one line end; a line feed of its own ends a line as well.
        if (!s.afterCarriageReturn) EndLine(s, time, LyricMark::LineBreak);
        s.afterCarriageReturn = false;
        break;
      default:
        AppendChar(s, time, static_cast<std::uint8_t>(c));
        break;
    }
  }
}

void LyricStreams::AddMetaText(std::uint32_t time, int track, std::uint8_t type, std::string_view raw) {
  if (type != 0x01 && type != 0x03 && type != 0x05) return;
  // Lyric and text events at the very start are the file's headers ("@KMIDI KARAOKE FILE",
  // titles), not sung text.
  if (type != 0x03 && time == 0) return;
  std::string text = IsMultibyteUtf8(raw) ? Utf8ToCp1252(raw) : std::string(raw);
  if (text.size() >= kLyricTextLimit) return;
  // Bytes that are no text go first; the letters take their player codes one by one as they join
  // the stream, after the line ends have been told apart from them.
  text = ToPageText(text);
  if (text.empty()) return;
  if (track < 0 || track >= kTextSlotOffset) {
    tracksBeyondSlots_ = true;
    return;
  }
  LyricSlot& s = slots_[static_cast<std::size_t>(type == 0x01 ? track + kTextSlotOffset : track)];
  if (type == 0x03) {
    AddTrackName(s, time, std::move(text));
    return;
  }
  if (text[0] == '%') {
    AddChordLine(s, time, text, true);
  } else if (type == 0x01 && IsChordText(text)) {
    AddChordLine(s, time, text, false);
  } else if (text[0] == '<') {
    s.bracketMode = true;
    AddLyricText(s, time, text);
    EndLine(s, time, LyricMark::LineBreak);
  } else {
    AddLyricText(s, time, text);
  }
}

LyricChoice LyricStreams::Choose(bool frenchRule) const {
  std::array<int, kLyricSlotCount> chars{};
  for (int i = 0; i < kLyricSlotCount; ++i)
    chars[static_cast<std::size_t>(i)] = slots_[static_cast<std::size_t>(i)].LyricCharacters();
  auto pick = [&](bool bracket) {
    int best = -1;
    for (int i = 0; i < kLyricSlotCount; ++i) {
      const int n = chars[static_cast<std::size_t>(i)];
      if (n <= kLyricStreamMinimum || slots_[static_cast<std::size_t>(i)].bracketMode != bracket) continue;
      if (best < 0) {
        best = i;
      } else if (frenchRule && i >= kTextSlotOffset) {
        if (2 * n > 3 * chars[static_cast<std::size_t>(best)]) best = i;
      } else if (n > chars[static_cast<std::size_t>(best)]) {
        best = i;
      }
    }
    return best;
  };
  LyricChoice choice;
  choice.slot = pick(false);
  if (choice.slot < 0) choice.slot = pick(true);
  if (choice.slot < 0) return choice;

  const LyricSlot& chosen = slots_[static_cast<std::size_t>(choice.slot)];
  choice.lyricChars = chars[static_cast<std::size_t>(choice.slot)];
  choice.truncated = chosen.full;
  int chordLines = 0;
  for (int i = 0; i < kLyricSlotCount; ++i) {
    const LyricSlot& s = slots_[static_cast<std::size_t>(i)];
    if (i != choice.slot && s.IsChordTrack() && s.chordLines > chordLines) {
      chordLines = s.chordLines;
      choice.chordTrackSlot = i;
    }
  }
  if (choice.chordTrackSlot < 0) {
    choice.stream = chosen.entries;
    return choice;
  }

  // Merge the chord symbols of the chord track by time, each symbol whole; at equal times the
  // lyrics come first.
  const auto& lyrics = chosen.entries;
  const auto& chords = slots_[static_cast<std::size_t>(choice.chordTrackSlot)].entries;
  std::vector<LyricEntry>& out = choice.stream;
  out.reserve(std::min(kLyricStreamCapacity, lyrics.size() + chords.size()));
  std::size_t li = 0;
  std::size_t ci = 0;
  auto room = [&] {
    if (out.size() < kLyricStreamCapacity) return true;
    choice.truncated = true;
    return false;
  };
  while (li < lyrics.size() || ci < chords.size()) {
    while (ci < chords.size() && !IsChordEntry(chords[ci])) ++ci;
    const bool takeChord = ci < chords.size() && (li >= lyrics.size() || chords[ci].time < lyrics[li].time);
    if (!takeChord) {
      if (li >= lyrics.size()) break;
      if (!room()) break;
      out.push_back(lyrics[li++]);
      continue;
    }
    // A symbol that does not fit whole is left out, so that no half symbol reaches the page.
    std::size_t end = ci;
    while (end < chords.size() && chords[end].mark != LyricMark::ChordEnd) ++end;
    if (end < chords.size()) ++end;
    if (out.size() + (end - ci) > kLyricStreamCapacity) {
      choice.truncated = true;
      ci = chords.size();
      continue;
    }
    out.insert(out.end(), chords.begin() + static_cast<std::ptrdiff_t>(ci),
               chords.begin() + static_cast<std::ptrdiff_t>(end));
    ci = end;
  }
  return choice;
}

}  // namespace sondesk
