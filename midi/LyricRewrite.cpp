#include "midi/LyricRewrite.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <span>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "messages/Cp1252.h"
#include "midi/LyricPages.h"
#include "midi/LyricPreview.h"
#include "midi/LyricSmfWriter.h"
#include "midi/LyricStreams.h"
#include "midi/LyricTrack.h"
#include "midi/MidiEvent.h"
#include "midi/MidiStreamReader.h"
#include "midi/SxsEvent.h"

namespace sondesk {

namespace {

// A song that already shows more line advances than this carries the player's own lyrics.
constexpr int kOwnLyricsLineAdvances = 6;
// Absolute times stay where a delta of the file format can reach them.
constexpr std::uint64_t kLatestTick = 0x0FFFFFFF;

constexpr std::uint8_t kRolandLyrics[] = {0x41, 0x10, 0x42, 0x12, 0x7F, 0x00, 0x00};

struct TimedEvent {
  std::uint32_t time = 0;
  std::vector<std::uint8_t> bytes;
};

bool Running(const MidiStreamReader& r) {
  return r.errorCode == kStreamOk && !r.atFileEnd && !r.allTracksEnded;
}

std::uint32_t Tick(const MidiStreamReader& r) {
  return static_cast<std::uint32_t>(std::min(r.now, kLatestTick));
}

bool StartsWith(std::span<const std::uint8_t> data, std::span<const std::uint8_t> prefix) {
  return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

struct Analysis {
  LyricStreams streams;
  int lineAdvances = 0;
  bool roland = false;
};

// The analysis pass: line advances already present, the character streams, the Roland mark.
bool Analyse(MidiStreamReader& r, Analysis& a) {
  MidiEvent ev;
  while (Running(r)) {
    NextStreamEvent(r, ev);
    if (ev.empty()) continue;
    const int track = r.lastTrack;
    if (ev.IsSysEx()) {
      const auto data = ev.Data();
      int type = 0;
      std::string text;
      if (ParseSxs(data, type, text) && type == kSxsLineAdvance) ++a.lineAdvances;
      if (StartsWith(data, kRolandLyrics)) a.roland = true;
    } else if (ev.IsMeta()) {
      a.streams.AddMetaText(Tick(r), track, static_cast<std::uint8_t>(ev.MetaType()), ev.Text());
    }
  }
  return r.errorCode == kStreamOk;
}

// `value` in decimal, right-aligned in at least `width` places (as "%*lu" gives it).
void AppendDecimal(std::string& out, std::uint64_t value, std::size_t width) {
  char digits[24];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (n < width) out.append(width - n, ' ');
  while (n > 0) out.push_back(digits[--n]);
}

void AppendHexByte(std::string& out, unsigned value) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back(kHex[(value >> 4) & 15]);
  out.push_back(kHex[value & 15]);
}

// The song copy, event by event, each logged as the rewrite has always logged it:
// "%6ld %3ld %d %02x %02x %02x", time, delta, length and the first three bytes. Written by hand:
// formatting the line through printf was an eighth of an import's processor time.
bool CopySong(MidiStreamReader& r, std::vector<TimedEvent>& song, std::string& log) {
  if (!ResetStreamReader(r)) return false;
  MidiEvent ev;
  while (Running(r)) {
    const std::uint64_t delta = NextStreamEvent(r, ev);
    if (ev.empty()) continue;
    const auto byte = [&](std::size_t i) { return i < ev.size() ? static_cast<unsigned>(ev.bytes[i]) : 0u; };
    AppendDecimal(log, Tick(r), 6);
    log.push_back(' ');
    AppendDecimal(log, std::min(delta, kLatestTick), 3);
    log.push_back(' ');
    AppendDecimal(log, ev.size(), 0);
    for (std::size_t i = 0; i < 3; ++i) {
      log.push_back(' ');
      AppendHexByte(log, byte(i));
    }
    log.push_back('\n');
    if (IsEndOfTrack(ev.bytes.data(), ev.size())) continue;
    song.push_back({Tick(r), ev.bytes});
  }
  return r.errorCode == kStreamOk;
}

bool WriteWorkFile(Session& session, const std::string& path, std::string_view data) {
  // Work files are read back at once and removed with their operation's folder: whole or absent
  // is enough, and a sync per file would make every karaoke song wait for the disk.
  if (WriteFileReplacing(path, data)) return true;
  session.ShowCreateError(path);
  return false;
}

bool WriteWorkFile(Session& session, const std::string& path, const std::vector<std::uint8_t>& data) {
  return WriteWorkFile(session, path,
                       std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

std::vector<std::uint8_t> MidiFileOf(std::uint16_t division, const std::vector<TimedEvent>& events) {
  LyricSmfWriter w(division);
  for (const auto& e : events) w.Add(e.time, e.bytes);
  return w.Finish();
}

// The song copy and the lyric track by time; at equal times the song goes first.
std::vector<std::uint8_t> MergeByTime(std::uint16_t division, const std::vector<TimedEvent>& song,
                                      const std::vector<LyricTrackEvent>& lyrics) {
  LyricSmfWriter w(division);
  std::size_t s = 0;
  std::size_t l = 0;
  while (s < song.size() || l < lyrics.size()) {
    if (l >= lyrics.size() || (s < song.size() && song[s].time <= lyrics[l].time)) {
      w.Add(song[s].time, song[s].bytes);
      ++s;
    } else {
      w.Add(lyrics[l].time, lyrics[l].bytes);
      ++l;
    }
  }
  return w.Finish();
}

}  // namespace

int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir,
                     LyricRewriteCounts& counts, LyricLayout* pages) {
  counts = LyricRewriteCounts{};
  if (pages != nullptr) *pages = LyricLayout{};
  const std::string tunePath = JoinPath(workDir, "Tune1000.MID");
  // An old work file must not be converted in place of this song; unless it is this song.
  std::error_code ec;
  if (!std::filesystem::equivalent(sourcePath, tunePath, ec)) std::remove(tunePath.c_str());

  // Real karaoke files are often damaged near their end: what comes before the damage is read,
  // lyrics included, and the conversion tells the user once where the file broke.
  auto reader = OpenStreamReader(session, sourcePath, /*salvage*/ true);
  if (!reader) {
    session.ui().DebugLine(Format("File %s not found", sourcePath.c_str()));
    counts.sourceUnreadable = true;
    return 0;
  }
  Analysis a;
  const bool readWhole = reader->errorCode == kStreamOk && Analyse(*reader, a);
  counts.damage = reader->damage;
  if (a.roland) {
    session.ui().ShowBox(Format("La song %s contiene SXS tipo ROLAND", Utf8ToCp1252(sourcePath).c_str()),
                         "Attenzione", BoxIcon::Warning, BoxButtons::Ok);
  }
  const bool french = session.messages().language() == static_cast<int>(Language::French);
  const LyricChoice choice = a.streams.Choose(french);
  counts.lineAdvanceCount = a.lineAdvances;
  counts.lyricCharCount = choice.slot >= 0 ? choice.lyricChars : 0;
  counts.chosenSlot = choice.slot;
  counts.sourceUnreadable = !readWhole;
  if (!readWhole) return 0;
  if (counts.lineAdvanceCount > kOwnLyricsLineAdvances || counts.lyricCharCount <= kLyricStreamMinimum)
    return 0;

  if (a.streams.tracksBeyondSlots()) session.ui().DebugLine("Lyrics of tracks beyond the 64th are left out.");
  LyricLayout layout = BuildLyricPages(choice.stream);
  // A stream that reached its capacity stops in the middle of a line: its last page is left out,
  // so the singer never sees half a page, and the conversion says that the rest was left out.
  if (choice.truncated && !layout.pages.empty() &&
      (choice.stream.empty() || choice.stream.back().mark != LyricMark::PageBreak)) {
    layout.pages.pop_back();
  }
  counts.lyricsCut = choice.truncated;
  counts.chordsCut = layout.chordsDropped;
  if (layout.pages.empty()) return 0;
  const LyricTrack track = BuildLyricTrack(layout);
  if (track.linesCut) session.ui().DebugLine("Line(s) too long. Will be truncated.");

  if (!MakeFolders(workDir)) {
    session.ShowCreateError(tunePath);
    return 0;
  }
  // The song is read whole before any work file is written: the source may itself be one of them.
  const auto division = static_cast<std::uint16_t>(reader->division);
  std::vector<TimedEvent> song;
  std::string log;
  const bool copied = CopySong(*reader, song, log);
  CloseStreamReader(reader);
  if (!copied) return 0;
  LyricSmfWriter lyricFile(division);
  for (const auto& e : track.events) lyricFile.Add(e.time, e.bytes);
  if (!WriteWorkFile(session, JoinPath(workDir, "TEXT.TXT"), LyricPreviewText(layout))) return 0;
  if (!WriteWorkFile(session, JoinPath(workDir, "WB.MID"), lyricFile.Finish())) return 0;
  if (!WriteWorkFile(session, JoinPath(workDir, "TEMP.MID"), MidiFileOf(division, song))) return 0;
  if (!WriteWorkFile(session, JoinPath(workDir, "LOGILE.TXT"), log)) return 0;
  if (!WriteWorkFile(session, tunePath, MergeByTime(division, song, track.events))) return 0;
  if (pages != nullptr) *pages = std::move(layout);
  return 1;
}

int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir,
                     LyricRewriteCounts& counts) {
  return RewriteLyricSong(session, sourcePath, workDir, counts, nullptr);
}

int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir) {
  LyricRewriteCounts counts;
  return RewriteLyricSong(session, sourcePath, workDir, counts, nullptr);
}

}  // namespace sondesk
