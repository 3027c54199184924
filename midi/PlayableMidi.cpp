#include "midi/PlayableMidi.h"

#include <algorithm>
#include <cstdio>

#include "app/AtomicFile.h"
#include "app/Session.h"
#include "midi/VelocityCurves.h"

namespace sondesk {

namespace {

constexpr std::size_t kPayloadHeadSize = 22;  // header chunk and track chunk header
constexpr int kDrumChannel = 9;               // MIDI channel 10
constexpr int kDivision = 480;

// One track of a format 0 file, events at absolute times (never going back), standard lengths.
class SmfBuilder {
 public:
  SmfBuilder() {
    out_ = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF,
            'M', 'T', 'r', 'k', 0, 0, 0, 0};
  }
  void Event(std::uint64_t time, std::span<const std::uint8_t> bytes) {
    Vlq(time - time_);
    time_ = time;
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }
  void Sized(std::uint64_t time, std::initializer_list<std::uint8_t> head,
             std::span<const std::uint8_t> data) {
    Vlq(time - time_);
    time_ = time;
    out_.insert(out_.end(), head.begin(), head.end());
    Vlq(data.size());
    out_.insert(out_.end(), data.begin(), data.end());
  }
  std::vector<std::uint8_t> Finish(std::uint64_t endTime) {
    Sized(std::max(endTime, time_), {0xFF, 0x2F}, {});
    const std::uint64_t length = out_.size() - kPayloadHeadSize;
    for (int i = 0; i < 4; ++i)
      out_[18 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    return std::move(out_);
  }

 private:
  void Vlq(std::uint64_t value) {
    std::uint8_t tmp[10];
    int n = 0;
    tmp[n++] = static_cast<std::uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0) tmp[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0) out_.push_back(tmp[--n]);
  }
  std::vector<std::uint8_t> out_;
  std::uint64_t time_ = 0;
};

class PayloadCursor {
 public:
  explicit PayloadCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Byte(std::uint8_t& b) {
    if (pos_ >= bytes_.size()) return false;
    b = bytes_[pos_++];
    return true;
  }
  bool Bytes(std::size_t n, std::span<const std::uint8_t>& out) {
    if (bytes_.size() - pos_ < n) return false;
    out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  // A SysEx or meta length as the player writes it: one byte, or two when the first has its top
  // bit set.
  bool Length(std::size_t& n) {
    std::uint8_t b = 0;
    if (!Byte(b)) return false;
    n = b;
    if (b >= 0x80) {
      std::uint8_t c = 0;
      if (!Byte(c)) return false;
      n = (std::size_t{b} & 0x7F) * 128 + c;
    }
    return true;
  }
  std::size_t pos() const { return pos_; }
  void Seek(std::size_t p) { pos_ = p; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

std::uint8_t WithOffset(std::uint8_t value, int offset) {
  if (value == 0) return 0;  // a channel turned fully off stays off, whatever the mixer says
  return static_cast<std::uint8_t>(std::clamp(value + offset, 0, 127));
}

// The mixer: false when the channel's events are not played at all.
bool Mix(std::uint8_t (&ev)[3], const Mf3Header& header) {
  const int type = ev[0] & 0xF0;
  const int channel = ev[0] & 0x0F;
  const ChannelSetup& ch = header.channels[static_cast<std::size_t>(channel)];
  if (ch.mode != 0) return false;
  switch (type) {
    case 0x80:
    case 0x90:
      if (channel != kDrumChannel) {
        ev[1] = static_cast<std::uint8_t>(TransposeKey(ev[1], ch.transpose + header.transpose));
        if (type == 0x90) ev[2] = VelocityCurve(ch.velocityCurve)[ev[2] & 0x7F];
      }
      break;
    case 0xB0:
      switch (ev[1]) {
        case 0:
          // "None" (or any value no MIDI data byte can carry) leaves the song's own bank.
          if (ch.bank <= 127) ev[2] = ch.bank;
          break;
        case 7:
          ev[2] = WithOffset(ev[2], ch.volumeOffset);
          break;
        case 10:
          ev[2] = WithOffset(ev[2], ch.panOffset);
          break;
        case 91:
          ev[2] = WithOffset(ev[2], ch.reverbOffset);
          break;
        case 93:
          ev[2] = WithOffset(ev[2], ch.chorusOffset);
          break;
        default:
          break;
      }
      break;
    case 0xC0:
      if (ch.program <= 127) ev[1] = ch.program;
      break;
    default:
      break;
  }
  return true;
}

}  // namespace

const char* PlayableMidiErrorText(int error) {
  switch (error) {
    case kPlayableOk:
      return "ok";
    case kPlayableCutShort:
      return "the song ends before its end-of-track event";
    case kPlayableDeltaTime:
      return "Deltatime error!";
    case kPlayableRunningStatus:
      return "Running status error!";
    case kPlayableBadStatus:
      return "Realtime Event in Body!";
  }
  return "unknown error";
}

double PlayableMidi::Seconds() const {
  return TempoMap(kDivision, tempos).SecondsAt(endTick);
}

int TransposeKey(int key, int semitones) {
  int k = key + semitones;
  while (k > 127) k -= 12;
  while (k < 0) k += 12;
  return k;
}

std::uint32_t OffsetTempo(std::uint32_t microsPerQuarter, int tempoOffset) {
  // No offset asked: the song keeps its own tempo to the microsecond (the division by whole beats
  // would otherwise nudge every tempo that is not a whole number of beats a minute).
  if (tempoOffset == 0 || microsPerQuarter == 0) return microsPerQuarter;
  const long long bpm = 60000000LL / microsPerQuarter;
  const long long target = bpm + tempoOffset;
  if (target <= 0) return kSlowestTempo;
  return static_cast<std::uint32_t>(std::min<long long>(60000000LL / target, kSlowestTempo));
}

PayloadWalk WalkPayload(std::span<const std::uint8_t> payload,
                        const std::function<void(const PayloadEvent&)>& onEvent) {
  PayloadWalk walk;
  auto fail = [&walk](int error, std::size_t at) {
    walk.error = error;
    walk.errorOffset = at;
    return walk;
  };
  if (payload.size() < kPayloadHeadSize) return fail(kPlayableCutShort, payload.size());
  PayloadCursor in(payload);
  in.Seek(kPayloadHeadSize);
  std::uint64_t now = 0;
  std::uint8_t status = 0;
  for (;;) {
    const std::size_t at = in.pos();
    std::uint64_t delta = 0;
    for (int i = 0;; ++i) {
      std::uint8_t b = 0;
      if (i == 5) return fail(kPlayableDeltaTime, at);
      if (!in.Byte(b)) return fail(kPlayableCutShort, at);
      delta = (delta << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) break;
    }
    now += delta;
    const std::size_t eventAt = in.pos();
    std::uint8_t first = 0;
    if (!in.Byte(first)) return fail(kPlayableCutShort, eventAt);
    PayloadEvent ev;
    ev.time = now;
    ev.status = first;
    if (first < 0x80) {
      if (status == 0) return fail(kPlayableRunningStatus, eventAt);
      ev.status = status;
      in.Seek(eventAt);
    }
    const std::uint8_t s = ev.status;
    if (s < 0xF0) {
      status = s;
      const int type = s & 0xF0;
      std::uint8_t b = 0;
      if (!in.Byte(b)) return fail(kPlayableCutShort, eventAt);
      ev.data[0] = b & 0x7F;
      if (type == 0x80 && s != 0xA8 && s != 0xA9) {
        ev.data[1] = 64;  // the payload keeps no note-off velocity
      } else if (type != 0xC0 && type != 0xD0) {
        if (!in.Byte(b)) return fail(kPlayableCutShort, eventAt);
        ev.data[1] = b & 0x7F;
      }
      onEvent(ev);
      continue;
    }
    if (s == 0xF0) {
      std::size_t n = 0;
      if (!in.Length(n) || !in.Bytes(n, ev.body)) return fail(kPlayableCutShort, eventAt);
      onEvent(ev);
      continue;
    }
    if (s == 0xFF) {
      std::size_t n = 0;
      if (!in.Byte(ev.metaType) || !in.Length(n) || !in.Bytes(n, ev.body))
        return fail(kPlayableCutShort, eventAt);
      if (ev.metaType == 0x2F) break;
      onEvent(ev);
      continue;
    }
    return fail(kPlayableBadStatus, eventAt);
  }
  walk.endTick = now;
  return walk;
}

PlayableMidi RenderPlayableMidiBytes(std::span<const std::uint8_t> payload, const Mf3Header& header,
                                     bool keepLyrics) {
  PlayableMidi out;
  SmfBuilder writer;
  const PayloadWalk walk = WalkPayload(payload, [&](const PayloadEvent& e) {
    const std::uint8_t s = e.status;
    if (s == 0xA8 || s == 0xA9) return;  // beat and bar markers are the player's own
    if (s < 0xF0) {
      std::uint8_t ev[3] = {s, e.data[0], e.data[1]};
      const int type = s & 0xF0;
      const std::size_t size = (type == 0xC0 || type == 0xD0) ? 2 : 3;
      if (Mix(ev, header)) writer.Event(e.time, std::span<const std::uint8_t>(ev, size));
      return;
    }
    if (s == 0xF0) return;  // SysEx (the player's lyric display among them) is not for a synthesizer
    const std::uint8_t type = e.metaType;
    if ((type == 0x01 || type == 0x05) && !keepLyrics) return;
    if (type == 0x51 && e.body.size() == 3) {
      const std::uint32_t tempo =
          (std::uint32_t{e.body[0]} << 16) | (std::uint32_t{e.body[1]} << 8) | e.body[2];
      const std::uint32_t t = OffsetTempo(tempo, header.tempoOffset);
      const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(t >> 16), static_cast<std::uint8_t>(t >> 8),
                                     static_cast<std::uint8_t>(t)};
      writer.Sized(e.time, {0xFF, type}, bytes);
      out.tempos.push_back({e.time, t});
      return;
    }
    writer.Sized(e.time, {0xFF, type}, e.body);
  });
  out.error = walk.error;
  out.errorOffset = walk.errorOffset;
  if (!walk.ok()) {
    out.tempos.clear();
    return out;  // nothing of a damaged song is played
  }
  // The end-of-track keeps its time: a song's last bars may be silence that belongs to it.
  out.endTick = walk.endTick;
  out.file = writer.Finish(walk.endTick);
  return out;
}

bool RenderPlayableMidi(Session& session, const std::string& outputPath, const std::string& payloadPath,
                        const Mf3Header& header, bool keepLyrics, PlayableMidi* result) {
  std::vector<std::uint8_t> payload;
  if (!ReadWholeFile(payloadPath, payload)) {
    session.ui().ShowBox(Format("Impossibile aprire il file '%s'!", payloadPath.c_str()),
                         "File writing error", BoxIcon::Stop, BoxButtons::Ok);
    if (result) *result = PlayableMidi{{}, kPlayableCutShort, 0, 0, {}};
    return false;
  }
  PlayableMidi r = RenderPlayableMidiBytes(payload, header, keepLyrics);
  bool ok = r.ok();
  if (!ok) {
    session.ShowStopBox(
        Format("%s: %s (byte %zu)", payloadPath.c_str(), PlayableMidiErrorText(r.error), r.errorOffset));
  } else if (!WriteFileAtomically(outputPath, r.file)) {
    session.ShowCreateError(outputPath);
    ok = false;
  }
  if (result) *result = std::move(r);
  return ok;
}

}  // namespace sondesk
