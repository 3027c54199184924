#include "midi/MidiToPayload.h"

#include <cstdio>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "app/Session.h"
#include "app/WorkFolder.h"
#include "midi/BeatBarCounter.h"
#include "midi/MidiEventStore.h"
#include "midi/MidiStreamReader.h"
#include "midi/PayloadWriter.h"
#include "midi/PlayerCharset.h"

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

  bool Convert(std::uint64_t t, const MidiEvent& ev) {
    const std::uint64_t out = OutTime(t);
    if (ev.IsChannel()) return ConvertChannel(out, ev);
    if (ev.IsSysEx()) return ConvertSysEx(out, ev);
    if (ev.IsMeta()) return ConvertMeta(t, out, ev);
    return true;
  }

  bool ConvertChannel(std::uint64_t out, const MidiEvent& ev) {
    const std::uint8_t status = ev.bytes[0];
    const int type = status & 0xF0;
    const int channel = status & 0x0F;
    const std::uint8_t d1 = ev.size() > 1 ? ev.bytes[1] : 0;
    const std::uint8_t d2 = ev.size() > 2 ? ev.bytes[2] : 0;
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
    if (!ParseSxs(ev.Data(), type, text)) return writer_.SysEx(out, ev.Data());
    if (type == kSxsChord) {
      // The player shows the chord being played and the two to come.
      const std::size_t i = static_cast<std::size_t>(conv_.chordEvents++);
      const SxsTables& tables = conv_.tables;
      const std::string shown = ">" + tables.Chord(i) + "|" + tables.Chord(i + 1) + "|" + tables.Chord(i + 2);
      return writer_.SysEx(out, MakeSxsData(kSxsChord, shown));
    }
    if (!writer_.SysEx(out, ev.Data())) return false;
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
        conv_.texts.ParseCopyright(ev.Text());
        break;
      case 0x03:
        conv_.texts.ParseTrackName(ev.Text());
        return true;
      case 0x01:
        conv_.texts.TakeFirstText(ev.Text());
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

// Steps 2 to 4 of the conversion on a readable source. False when no payload was written.
bool ConvertSource(Session& session, const std::string& source, const std::string& payloadPath,
                   MidiConversion& conv) {
  auto reader = OpenStreamReader(session, source);
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
  CloseStreamReader(reader);
  if (!ok) return false;
  // A work file, read back at once and removed: whole or absent is enough, a sync would only wait.
  if (!WriteFileReplacing(payloadPath, pass.payload())) {
    session.ShowCreateError(payloadPath);
    return false;
  }
  return true;
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

  // The event store is the structural check: its messages are what the user learns about a
  // damaged file. A file that is no MIDI file at all, or one timed in SMPTE frames, goes no further.
  {
    MidiEventStore store;
    EventStoreStatus status = EventStoreStatus::Ok;
    LoadEventStore(session, sourcePath, store, &status);
    FreeEventStore(store);
    const bool notASong = status == EventStoreStatus::NotMidi ||
                          status == EventStoreStatus::HeaderTruncated ||
                          status == EventStoreStatus::UnsupportedDivision;
    if (!notASong) {
      std::string source = sourcePath;
      const WorkFolder work(session.workDir());
      if (RewriteLyricSong(session, sourcePath, work.path(), conv.lyricCounts) == 1) {
        conv.rewritten = true;
        source = work / "Tune1000.MID";
      }
      // The preview of the pages is for the user to read after the conversion: it stays in the
      // work folder itself, the last conversion's.
      std::rename((work / "TEXT.TXT").c_str(), JoinPath(session.workDir(), "TEXT.TXT").c_str());
      conv.payloadWritten = ConvertSource(session, source, payloadPath, conv);
    }
  }

  conv.texts.copyrightCopy = conv.texts.songCopyright;
  conv.texts.ChooseTitle(StemOf(sourcePath));
  ToPlayerCharset(conv.texts.songTitle, 3);

  const LyricRewriteCounts& counts = conv.lyricCounts;
  if ((conv.rewritten || counts.lineAdvanceCount < 6) && counts.lyricCharCount < 20 &&
      session.noTextWarning) {
    session.noTextWarning =
        session.ui().ShowWarningWithCheck(FormatText(session.Text(kNoText), conv.texts.songTitle.c_str()),
                                          session.Text(kShowAgain), session.Text(kWarningTitle));
  }
  return conv.payloadWritten ? 0 : 1;
}

}  // namespace sondesk
