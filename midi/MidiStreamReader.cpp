#include "midi/MidiStreamReader.h"

#include <algorithm>
#include <cstring>

#include "app/Endian.h"
#include "app/Session.h"
#include "app/AtomicFile.h"

namespace sondesk {

const char* const kUnsupportedDivisionText =
    "Unsupported time division!\nOnly files timed in ticks per quarter note can be read.";

const char* StreamErrorText(int errorCode) {
  switch (errorCode) {
    case kStreamBodyEnd:
      return "Unexpected End of File in Body!";
    case kStreamHeaderEnd:
      return "Unexpected End of File in Header!";
    case kStreamDeltaTime:
      return "Deltatime error!";
    case kStreamRunningStatus:
      return "Running status error!";
    case kStreamRealtime:
      return "Realtime Event in Body!";
    case kStreamDivision:
      return kUnsupportedDivisionText;
    default:
      return "";
  }
}

MidiStreamReader::~MidiStreamReader() {
  if (file != nullptr) std::fclose(file);
}

namespace {

void SetError(MidiStreamReader& r, int code) {
  if (r.errorCode != kStreamOk) return;
  r.errorCode = code;
  const std::uint32_t bit = 1u << code;
  if ((r.shownErrors & bit) == 0) {
    r.shownErrors |= bit;
    if (r.session != nullptr) r.session->ShowStopBox(StreamErrorText(code));
  }
}

// Damage within a track. Read strictly, it ends the pass; salvaged, it ends the track: the notes
// it holds are ended where it broke, and the first damage is kept with its place.
void Fault(MidiStreamReader& r, StreamTrack& t, int code) {
  if (!r.salvage) {
    SetError(r, code);
    return;
  }
  if (r.damage.code == 0) {
    r.damage.code = code;
    r.damage.track = static_cast<int>(&t - r.tracks.data());
    r.damage.offset = t.dataStart + t.consumed - t.fill + t.pos;
    r.damage.tick = r.now;
  }
  t.active = false;
  for (std::size_t n = 0; n < t.sounding.size(); ++n) {
    if (!t.sounding.test(n)) continue;
    MidiEvent off;
    off.bytes = {static_cast<std::uint8_t>(0x80 | (n >> 7)), static_cast<std::uint8_t>(n & 0x7F), 0x40};
    r.pendingNoteOffs.push_back(std::move(off));
  }
  t.sounding.reset();
}

// Up to `n` bytes at `offset`: how many there were.
std::size_t ReadSome(MidiStreamReader& r, std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (r.filePos != offset) {
    if (offset > r.fileSize || std::fseek(r.file, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    r.filePos = offset;
  }
  const std::size_t got = std::fread(out, 1, n, r.file);
  r.filePos += got;
  return got;
}

// Exactly `n` bytes at `offset`; false on a short read.
bool ReadAt(MidiStreamReader& r, std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  return ReadSome(r, offset, out, n) == n;
}

// The next 512 bytes of the chunk (or its rest). Bytes beyond the chunk's declared end are as
// missing as bytes beyond the file's end.
bool Refill(MidiStreamReader& r, StreamTrack& t) {
  if (t.consumed >= t.length) {
    Fault(r, t, kStreamBodyEnd);
    return false;
  }
  const std::uint32_t n = std::min<std::uint32_t>(StreamTrack::kBufferSize, t.length - t.consumed);
  // A file cut short still gives every byte it has; the error comes when one is missing.
  const std::size_t got = ReadSome(r, t.dataStart + t.consumed, t.buffer.data(), n);
  if (got == 0) {
    if (!r.salvage) r.atFileEnd = true;
    Fault(r, t, kStreamBodyEnd);
    return false;
  }
  t.fill = static_cast<std::uint32_t>(got);
  t.pos = 0;
  t.consumed += t.fill;
  return true;
}

inline bool ReadByte(MidiStreamReader& r, StreamTrack& t, std::uint8_t& b) {
  if (t.pos >= t.fill && !Refill(r, t)) return false;
  b = t.buffer[t.pos++];
  return true;
}

bool ReadData(MidiStreamReader& r, StreamTrack& t, std::uint32_t n, std::vector<std::uint8_t>& out) {
  while (n > 0) {
    if (t.pos >= t.fill && !Refill(r, t)) return false;
    const std::uint32_t take = std::min(n, t.fill - t.pos);
    out.insert(out.end(), t.buffer.begin() + t.pos, t.buffer.begin() + t.pos + take);
    t.pos += take;
    n -= take;
  }
  return true;
}

// At most five bytes of seven bits; a fifth byte that still announces more is a broken file.
bool ReadVlq(MidiStreamReader& r, StreamTrack& t, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < 5; ++i) {
    std::uint8_t b;
    if (!ReadByte(r, t, b)) return false;
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  Fault(r, t, kStreamDeltaTime);
  return false;
}

// SysEx and meta lengths: one byte, or two when the first has its high bit set. The bytes go
// into the event as they stand.
bool ReadLength(MidiStreamReader& r, StreamTrack& t, MidiEvent& ev, std::uint32_t& length) {
  std::uint8_t first;
  if (!ReadByte(r, t, first)) return false;
  ev.bytes.push_back(first);
  length = first;
  if (first >= 0x80) {
    std::uint8_t second;
    if (!ReadByte(r, t, second)) return false;
    ev.bytes.push_back(second);
    length = (first & 0x7Fu) * 128u + second;
  }
  return true;
}

bool HasTwoDataBytes(std::uint8_t type) {
  return type == 0x80 || type == 0x90 || type == 0xA0 || type == 0xB0 || type == 0xE0;
}

constexpr std::uint8_t kPayloadNoteOffVelocity = 64;

// The second data byte of a channel event, or the velocity a payload's note-off leaves out.
bool ReadSecondByte(MidiStreamReader& r, StreamTrack& t, std::uint8_t type, MidiEvent& ev) {
  if (type == 0x80 && r.payloadSyntax) {
    ev.bytes.push_back(kPayloadNoteOffVelocity);
    return true;
  }
  std::uint8_t b;
  if (!ReadByte(r, t, b)) return false;
  ev.bytes.push_back(b);
  return true;
}

bool ReadEvent(MidiStreamReader& r, StreamTrack& t, MidiEvent& ev) {
  std::uint8_t b;
  if (!ReadByte(r, t, b)) return false;
  if (b < 0x80) {
    // The format ends running status at a SysEx or meta event, but many karaoke writers go on
    // with it (a highlight controller right behind a lyric): salvaged, such a file keeps it.
    if (t.runningStatus == 0 && r.salvage) t.runningStatus = t.lastChannelStatus;
    const std::uint8_t type = t.runningStatus & 0xF0;
    if (type != 0x80 && type != 0x90 && type != 0xA0 && type != 0xB0 && type != 0xC0 && type != 0xD0 &&
        type != 0xE0) {
      Fault(r, t, kStreamRunningStatus);
      return false;
    }
    ev.bytes.push_back(t.runningStatus);
    ev.bytes.push_back(b);
    return !HasTwoDataBytes(type) || ReadSecondByte(r, t, type, ev);
  }
  if (b < 0xF0) {
    ev.bytes.push_back(b);
    t.runningStatus = b;
    t.lastChannelStatus = b;
    std::uint8_t data;
    if (!ReadByte(r, t, data)) return false;
    ev.bytes.push_back(data);
    return !HasTwoDataBytes(b & 0xF0) || ReadSecondByte(r, t, b & 0xF0, ev);
  }
  if (b == 0xF0 || b == 0xFF) {
    t.runningStatus = 0;
    ev.bytes.push_back(b);
    if (b == 0xFF) {
      std::uint8_t type;
      if (!ReadByte(r, t, type)) return false;
      ev.bytes.push_back(type);
      if (type == 0x2F) t.active = false;
    }
    std::uint32_t length = 0;
    if (!ReadLength(r, t, ev, length)) return false;
    ev.dataOffset = ev.bytes.size();
    ev.dataLength = length;
    return ReadData(r, t, length, ev.bytes);
  }
  Fault(r, t, kStreamRealtime);
  return false;
}

// What a salvaged track has left sounding, for the note-offs at its damage.
void NoteSounding(StreamTrack& t, const MidiEvent& ev) {
  const int type = ev.bytes[0] & 0xF0;
  if ((type != 0x80 && type != 0x90) || ev.size() < 3) return;
  const std::size_t n = static_cast<std::size_t>((ev.bytes[0] & 0x0F) << 7 | (ev.bytes[1] & 0x7F));
  t.sounding.set(n, type == 0x90 && ev.bytes[2] != 0);
}

StreamTrack* NextTrack(MidiStreamReader& r) {
  StreamTrack* best = nullptr;
  for (StreamTrack& t : r.tracks) {
    if (t.active && (best == nullptr || t.nextTime < best->nextTime)) best = &t;
  }
  return best;
}

}  // namespace

bool ResetStreamReader(MidiStreamReader& r) {
  r.errorCode = kStreamOk;
  r.atFileEnd = false;
  r.allTracksEnded = false;
  r.now = 0;
  r.tracks.clear();
  r.damage = StreamDamage{};
  r.lastTrack = -1;
  r.pendingNoteOffs.clear();
  r.format = r.trackCount = r.division = 0;

  std::uint8_t head[14];
  if (!ReadAt(r, 0, head, sizeof head) || std::memcmp(head, "MThd", 4) != 0 || GetBe32(head + 4) < 6) {
    SetError(r, kStreamHeaderEnd);
    return false;
  }
  r.format = GetBe16(head + 8);
  r.trackCount = GetBe16(head + 10);
  r.division = GetBe16(head + 12);
  if (r.division == 0 || (r.division & 0x8000) != 0) {
    SetError(r, kStreamDivision);
    return false;
  }

  // The track table: the first "MTrk" chunks, as many as the header counts. Chunks of other
  // kinds are passed over without taking a track's place, so a song with a vendor's chunk among
  // its tracks loses none of them; a header that promises more tracks than the file holds gets
  // the tracks that are there.
  std::uint64_t pos = 8 + static_cast<std::uint64_t>(GetBe32(head + 4));
  while (static_cast<int>(r.tracks.size()) < r.trackCount && pos + 8 <= r.fileSize) {
    std::uint8_t chunk[8];
    if (!ReadAt(r, pos, chunk, sizeof chunk)) break;
    const std::uint32_t length = GetBe32(chunk + 4);
    if (std::memcmp(chunk, "MTrk", 4) == 0) {
      StreamTrack& t = r.tracks.emplace_back();
      t.dataStart = pos + 8;
      t.length = length;
      if (length > 0) {
        t.active = true;
        std::uint64_t delta = 0;
        if (ReadVlq(r, t, delta)) {
          t.nextTime = delta;
        } else if (!r.salvage || r.errorCode != kStreamOk) {
          return false;
        }
      }
    }
    pos += 8 + static_cast<std::uint64_t>(length);
  }
  return true;
}

std::unique_ptr<MidiStreamReader> OpenStreamReader(Session& session, const std::string& path, bool salvage) {
  auto r = std::make_unique<MidiStreamReader>();
  r->session = &session;
  r->salvage = salvage;
  r->path = path;
  r->file = OpenRegularFile(path);
  if (r->file == nullptr) {
    session.ui().DebugLine("open error");
    return nullptr;
  }
  if (std::fseek(r->file, 0, SEEK_END) != 0) {
    session.ui().DebugLine("position error");
    return nullptr;
  }
  const long size = std::ftell(r->file);
  if (size < 0 || std::fseek(r->file, 0, SEEK_SET) != 0) {
    session.ui().DebugLine("position error");
    return nullptr;
  }
  r->fileSize = static_cast<std::uint64_t>(size);
  r->filePos = 0;
  ResetStreamReader(*r);
  return r;
}

std::unique_ptr<MidiStreamReader> OpenPayloadReader(Session& session, const std::string& path) {
  auto r = OpenStreamReader(session, path);
  if (r) {
    r->payloadSyntax = true;
    ResetStreamReader(*r);  // the first delta times do not depend on it, but the buffers start afresh
  }
  return r;
}

std::uint64_t NextStreamEvent(MidiStreamReader& r, MidiEvent& event) {
  event.Clear();
  if (r.errorCode != kStreamOk) return 0;
  const std::uint64_t before = r.now;
  for (;;) {
    if (!r.pendingNoteOffs.empty()) {
      event = std::move(r.pendingNoteOffs.back());
      r.pendingNoteOffs.pop_back();
      return r.now - before;
    }
    StreamTrack* t = NextTrack(r);
    if (t == nullptr) {
      r.allTracksEnded = true;
      return r.now - before;
    }
    r.now = t->nextTime;
    r.lastTrack = static_cast<int>(t - r.tracks.data());
    if (!ReadEvent(r, *t, event)) {
      event.Clear();
      // A salvaged track ended at its damage: the song goes on with the others.
      if (r.salvage && r.errorCode == kStreamOk) continue;
      return r.now - before;
    }
    if (r.salvage && event.IsChannel()) NoteSounding(*t, event);
    if (t->active) {
      std::uint64_t delta = 0;
      if (ReadVlq(r, *t, delta)) t->nextTime = r.now + delta;
    }
    return r.now - before;
  }
}

std::uint64_t PeekStreamDelta(MidiStreamReader& r) {
  if (!r.pendingNoteOffs.empty()) return 0;
  const StreamTrack* t = NextTrack(r);
  if (t == nullptr) {
    r.allTracksEnded = true;
    return 0;
  }
  return t->nextTime - r.now;
}

void CloseStreamReader(std::unique_ptr<MidiStreamReader>& reader) {
  reader.reset();
}

}  // namespace sondesk
