#include "midi/MidiToPayload.h"

#include <cstdio>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "app/Session.h"
#include "messages/Cp1252.h"
#include "app/WorkFolder.h"
#include "midi/BeatBarCounter.h"
#include "midi/MidiEventStore.h"
#include "midi/MidiStreamReader.h"
#include "midi/PayloadWriter.h"
#include "midi/PlayerCharset.h"
#include "midi/SourceRepair.h"

namespace sondesk {

namespace {

constexpr int kDrumChannel = 9;  // MIDI channel 10
constexpr int kWarningTitle = 22;
constexpr int kCannotOpen = 9;
constexpr int kShowAgain = 253;
constexpr int kNoText = 254;

// The player's drum voices from the bass drums (35) to the high bongo (60) play to their end
// whatever a note-off says; only the open hi-hat (46) is cut by one. Their note-offs would only
// take room, except where the source wrote them as note-ons at velocity 0, which stay.
bool DroppedDrumNoteOff(int channel, int key) {
  return channel == kDrumChannel && key >= 35 && key <= 60 && key != 46;
}

// Song texts are Windows-1252, but many newer files write theirs in UTF-8.
std::string SongTextOf(const MidiEvent& ev) {
  const std::string text = ev.Text();
  return IsMultibyteUtf8(text) ? Utf8ToCp1252(text) : text;
}

class MainPass {
 public:
  MainPass(Session& session, MidiStreamReader& reader, MidiConversion& conv)
      : session_(session), reader_(reader), conv_(conv), writer_(session), counter_(reader.division) {}

  // False when the payload must not be used: the writer stopped.
  bool Run() {
    MidiEvent ev;
    while (reader_.errorCode == kStreamOk && !reader_.atFileEnd && !reader_.allTracksEnded) {
      NextStreamEvent(reader_, ev);
      if (ev.empty()) break;
      const std::uint64_t t = reader_.now;
      if (OutTime(t) > kPayloadTimeLimit) {
        session_.ShowStopBox(Format("Song too long!\nThe events after tick %lu were left out.",
                                    static_cast<unsigned long>(kPayloadTimeLimit)));
        break;
      }
      BeatBarMarker m;
      while (counter_.NextMarker(t, m)) {
        const std::uint8_t bytes[3] = {m.status, static_cast<std::uint8_t>(m.number & 0xFF),
                                       static_cast<std::uint8_t>(m.number >> 8)};
        if (!writer_.Channel(OutTime(m.time), bytes)) return false;
      }
      if (!Convert(t, ev)) return false;
    }
    if (writer_.skipped() > 0) {
      session_.ui().DebugLine(Format("%d SysEx or meta events longer than %u bytes left out",
                                     writer_.skipped(), static_cast<unsigned>(kPayloadMaxDataLength)));
    }
    payload_ = writer_.Finish();
    return true;
  }

  const std::vector<std::uint8_t>& payload() const { return payload_; }

 private:
  std::uint64_t OutTime(std::uint64_t t) const {
    const auto division = static_cast<std::uint64_t>(reader_.division);
    return division == kPayloadDivision ? t : t * kPayloadDivision / division;
  }

  bool Convert(std::uint64_t t, MidiEvent& ev) {
    const std::uint64_t out = OutTime(t);
    if (ev.IsChannel()) return ConvertChannel(out, ev);
    if (ev.IsSysEx()) return ConvertSysEx(out, ev);
    if (ev.IsMeta()) return ConvertMeta(t, out, ev);
    return true;
  }

  // A data byte of 0x80 or more would reach the player as a status byte and throw it out of
  // step with the rest of the song. Values keep their low seven bits; an event whose key or
  // controller number is broken, or whose note-on would turn into a note-off, is dropped.
  bool CleanDataBytes(MidiEvent& ev) {
    bool high = false;
    for (std::size_t i = 1; i < ev.size(); ++i) high = high || ev.bytes[i] >= 0x80;
    if (!high) return true;
    const int type = ev.bytes[0] & 0xF0;
    const bool numbered = type == 0x80 || type == 0x90 || type == 0xA0 || type == 0xB0;
    if (numbered && ev.bytes[1] >= 0x80) {
      ++conv_.dataBytesDropped;
      return false;
    }
    for (std::size_t i = 1; i < ev.size(); ++i) ev.bytes[i] &= 0x7F;
    if (type == 0x90 && ev.size() > 2 && ev.bytes[2] == 0) {
      ++conv_.dataBytesDropped;
      return false;
    }
    ++conv_.dataBytesCut;
    return true;
  }

  bool ConvertChannel(std::uint64_t out, MidiEvent& ev) {
    if (!CleanDataBytes(ev)) return true;
    const std::uint8_t status = ev.bytes[0];
    const int type = status & 0xF0;
    const int channel = status & 0x0F;
    const std::uint8_t d1 = ev.size() > 1 ? ev.bytes[1] : 0;
    const std::uint8_t d2 = ev.size() > 2 ? ev.bytes[2] : 0;
    if (type == 0x90 && d2 != 0) ++conv_.notesWritten;
    switch (type) {
      case 0x80:
        if (DroppedDrumNoteOff(channel, d1)) return true;
        return writer_.NoteOff(out, channel, d1);
      case 0x90:
        if (d2 == 0) return writer_.NoteOff(out, channel, d1);
        break;
      case 0xA0:
        // In a payload A8 and A9 are the beat and bar markers: polyphonic pressure on channels 9
        // and 10 would reach the player as false markers.
        if (status == BeatBarCounter::kBeatStatus || status == BeatBarCounter::kBarStatus) return true;
        break;
      case 0xB0:
        TakeController(channel, d1, d2);
        break;
      case 0xC0: {
        ChannelSetup& setup = conv_.header.channels[channel];
        if (setup.program == ChannelSetup::kNone) setup.program = d1;
        break;
      }
      default:
        break;
    }
    return writer_.Channel(out, ev.bytes);
  }

  void TakeController(int channel, int controller, std::uint8_t value) {
    InitialControllers& ic = conv_.header.initialControllers[channel];
    std::uint8_t* slot = nullptr;
    switch (controller) {
      case 0:
        slot = &conv_.header.channels[channel].bank;
        break;
      case 7:
        slot = &ic.volume;
        break;
      case 10:
        slot = &ic.pan;
        break;
      case 91:
        slot = &ic.reverb;
        break;
      case 93:
        slot = &ic.chorus;
        break;
      default:
        return;
    }
    if (*slot == InitialControllers::kNone) *slot = value;
  }

  bool ConvertSysEx(std::uint64_t out, const MidiEvent& ev) {
    int type = 0;
    std::string text;
    if (!ParseSxs(ev.Data(), type, text)) {
      // Inside a SysEx a byte of 0x80 or more ends it for the player: the rest is cut off there.
      const auto data = ev.Data();
      std::size_t end = 0;
      while (end < data.size() && data[end] < 0x80) ++end;
      if (end == data.size() || (end + 1 == data.size() && data[end] == 0xF7)) return writer_.SysEx(out, data);
      ++conv_.sysExCut;
      std::vector<std::uint8_t> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(end));
      cut.push_back(0xF7);
      return writer_.SysEx(out, cut);
    }
    if (type == kSxsChord) {
      // The player shows the chord being played and the two to come.
      const std::size_t i = static_cast<std::size_t>(conv_.chordEvents++);
      const SxsTables& tables = conv_.tables;
      const std::string shown = ">" + tables.Chord(i) + "|" + tables.Chord(i + 1) + "|" + tables.Chord(i + 2);
      return writer_.SysEx(out, MakeSxsData(kSxsChord, shown));
    }
    if (!writer_.SysEx(out, ev.Data())) return false;
    if (type == kSxsLineAdvance) ++conv_.lineAdvancesWritten;
    if (type >= kSxsPageLine1 && type <= kSxsPageLine4) {
      const std::size_t i = static_cast<std::size_t>(conv_.pageLineEvents++);
      if (type == kSxsPageLine4)
        return writer_.SysEx(out, MakeSxsData(kSxsNextLine, conv_.tables.PageLine(i + 1)));
    }
    return true;
  }

  bool ConvertMeta(std::uint64_t t, std::uint64_t out, const MidiEvent& ev) {
    const int type = ev.MetaType();
    const auto data = ev.Data();
    switch (type) {
      case 0x58:
        if (data.size() >= 2) counter_.TimeSignature(t, data[0], data[1]);
        break;
      case 0x02:
        conv_.texts.ParseCopyright(SongTextOf(ev));
        break;
      case 0x03:
        conv_.texts.ParseTrackName(SongTextOf(ev));
        return true;
      case 0x01:
        conv_.texts.TakeFirstText(SongTextOf(ev));
        return true;
      case 0x06:
      case 0x2F:
        return true;
      default:
        break;
    }
    return writer_.Meta(out, type, data);
  }

  Session& session_;
  MidiStreamReader& reader_;
  MidiConversion& conv_;
  PayloadWriter writer_;
  BeatBarCounter counter_;
  std::vector<std::uint8_t> payload_;
};

void PreScan(MidiStreamReader& reader, SxsTables& tables) {
  MidiEvent ev;
  while (reader.errorCode == kStreamOk && !reader.atFileEnd && !reader.allTracksEnded) {
    NextStreamEvent(reader, ev);
    if (ev.empty()) break;
    int type = 0;
    std::string text;
    if (ev.IsSysEx() && ParseSxs(ev.Data(), type, text)) tables.Add(type, text);
  }
}

// Steps 3 and 4 of the conversion on a readable source, read in salvage mode: the payload in
// memory and where the source was found damaged. False when there is no payload.
bool ConvertSource(Session& session, const std::string& source, MidiConversion& conv,
                   std::vector<std::uint8_t>& payload, StreamDamage& damage) {
  auto reader = OpenStreamReader(session, source, /*salvage*/ true);
  if (!reader) {
    session.ShowStopBox(FormatText(session.Text(kCannotOpen), source.c_str()));
    return false;
  }
  if (reader->errorCode != kStreamOk) return false;  // not a song: its header already told why

  conv.header = Mf3Header::Fresh();
  PreScan(*reader, conv.tables);
  if (!ResetStreamReader(*reader)) return false;

  MainPass pass(session, *reader, conv);
  const bool ok = pass.Run();
  damage = reader->damage;
  CloseStreamReader(reader);
  if (!ok) return false;
  payload = pass.payload();
  return true;
}

std::string DamageNote(const std::string& name, const StreamDamage& damage,
                       const std::vector<std::string>& storeMessages, bool lyrics) {
  std::string what = damage.code != 0 ? StreamErrorText(damage.code) : storeMessages.front();
  while (!what.empty() && what.back() == '\n') what.pop_back();
  for (char& c : what) {
    if (c == '\n') c = ' ';
  }
  std::string note = Format("The file %s is damaged: %s", name.c_str(), what.c_str());
  if (damage.code != 0) {
    note += Format("\n(track %d, byte %llu of the file).", damage.track + 1,
                   static_cast<unsigned long long>(damage.offset));
  }
  note += lyrics ? "\nWhat could be read was converted, with its lyrics." : "\nWhat could be read was converted.";
  return note;
}

void AddRepairNotes(MidiConversion& conv) {
  if (conv.dataBytesCut + conv.dataBytesDropped > 0) {
    conv.notes.push_back(Format("%d channel events held data bytes of 0x80 or more: %d kept their low seven "
                                "bits, %d were left out.",
                                conv.dataBytesCut + conv.dataBytesDropped, conv.dataBytesCut,
                                conv.dataBytesDropped));
  }
  if (conv.sysExCut > 0) {
    conv.notes.push_back(Format("%d SysEx events held bytes of 0x80 or more and were cut there.", conv.sysExCut));
  }
  const LyricRewriteCounts& c = conv.lyricCounts;
  if (conv.rewritten && (c.lyricsCut || c.chordsCut)) {
    conv.notes.push_back(Format("The lyrics are longer than the player's tables hold (%zu characters, %zu "
                                "chords): the pages end with the last whole page, the rest was left out.",
                                kLyricStreamCapacity, kLyricChordCapacity));
  }
}

}  // namespace

int ConvertMidiToPayload(Session& session, const std::string& sourcePath, const std::string& payloadPath,
                         MidiConversion& conv) {
  conv.texts.Clear();
  conv.tables.Clear();
  conv.lyricCounts = LyricRewriteCounts{};
  conv.rewritten = false;
  conv.payloadWritten = false;
  conv.chordEvents = conv.pageLineEvents = 0;
  conv.notesWritten = conv.lineAdvancesWritten = 0;
  conv.dataBytesCut = conv.dataBytesDropped = conv.sysExCut = 0;
  conv.damaged = false;
  conv.damage = StreamDamage{};
  conv.notes.clear();

  // The event store is the structural check. A file that is no MIDI file at all, or one timed in
  // SMPTE frames, goes no further and its messages are shown as they are. A damaged song is read
  // up to its damage, and the user hears once what was wrong and where; only a damaged file with
  // nothing to play gets the readers' own boxes and no payload.
  // A song in a wrapper, or one whose bytes a text-mode transfer changed, is read from a repaired
  // copy; everything the user sees still names the source.
  // Every work file of this conversion lives in a folder of its own, so conversions running side by
  // side never read each other's files.
  const WorkFolder work(session.workDir());
  SourceRepair repair = SourceRepair::None;
  const std::string readPath = RepairedSource(session, sourcePath, work.path(), repair);
  {
    MidiEventStore store;
    EventStoreStatus status = EventStoreStatus::Ok;
    std::vector<std::string> storeMessages;
    LoadEventStore(session, readPath, store, &status, &storeMessages);
    FreeEventStore(store);
    const bool notASong = status == EventStoreStatus::NotMidi ||
                          status == EventStoreStatus::HeaderTruncated ||
                          status == EventStoreStatus::UnsupportedDivision;
    if (notASong || status == EventStoreStatus::CannotOpen) {
      for (const auto& m : storeMessages) session.ShowStopBox(m);
      storeMessages.clear();
    }
    if (!notASong) {
      std::string source = readPath;
      if (RewriteLyricSong(session, readPath, work.path(), conv.lyricCounts) == 1) {
        conv.rewritten = true;
        source = work / "Tune1000.MID";
      }
      // The preview of the pages is for the user to read after the conversion: it stays in the
      // work folder itself, the last conversion's.
      std::rename((work / "TEXT.TXT").c_str(), JoinPath(session.workDir(), "TEXT.TXT").c_str());
      std::vector<std::uint8_t> payload;
      StreamDamage damage;
      const bool converted = ConvertSource(session, source, conv, payload, damage);
      // A rewritten song was read from its source by the rewrite; the work file is whole.
      if (conv.lyricCounts.damage.code != 0) damage = conv.lyricCounts.damage;
      conv.damage = damage;
      conv.damaged = damage.code != 0 || !storeMessages.empty();
      const bool playable = conv.notesWritten > 0 || conv.lineAdvancesWritten > 0;
      if (converted && conv.damaged && !playable) {
        for (const auto& m : storeMessages) session.ShowStopBox(m);
        if (damage.code != 0) session.ShowStopBox(StreamErrorText(damage.code));
      } else if (converted) {
        conv.payloadWritten = WriteFileReplacing(payloadPath, payload);
        if (!conv.payloadWritten) session.ShowCreateError(payloadPath);
        if (conv.payloadWritten && conv.damaged) {
          conv.notes.push_back(DamageNote(Utf8ToCp1252(BaseName(sourcePath)), damage, storeMessages,
                                          conv.rewritten || conv.lineAdvancesWritten > 0));
        }
      }
    }
  }
  if (conv.payloadWritten) {
    if (repair != SourceRepair::None)
      conv.notes.insert(conv.notes.begin(), SourceRepairNote(repair, Utf8ToCp1252(BaseName(sourcePath))));
    AddRepairNotes(conv);
  }
  conv.repair = repair;

  conv.texts.copyrightCopy = conv.texts.songCopyright;
  // File names on this system are UTF-8; the title is a header text.
  conv.texts.ChooseTitle(Utf8ToCp1252(StemOf(sourcePath)));
  ToPlayerCharset(conv.texts.songTitle, 3);

  const LyricRewriteCounts& counts = conv.lyricCounts;
  if ((conv.rewritten || counts.lineAdvanceCount < 6) && counts.lyricCharCount < 20 &&
      session.noTextWarning) {
    session.noTextWarning =
        session.ui().ShowWarningWithCheck(FormatText(session.Text(kNoText), conv.texts.songTitle.c_str()),
                                          session.Text(kShowAgain), session.Text(kWarningTitle));
  }
  if (!conv.notes.empty()) {
    std::string text;
    for (const auto& n : conv.notes) text += (text.empty() ? "" : "\n\n") + n;
    session.ShowBox(text, kWarningTitle, BoxIcon::Warning, BoxButtons::Ok);
  }
  return conv.payloadWritten ? 0 : 1;
}

}  // namespace sondesk
