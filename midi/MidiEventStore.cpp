#include "midi/MidiEventStore.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "app/Endian.h"
#include "app/Session.h"
#include "midi/MidiStreamReader.h"
#include "app/AtomicFile.h"

namespace sondesk {

namespace {

constexpr std::size_t kReadBlock = 4096;
constexpr std::uint64_t kBarsOfFourQuarters = 2000;

struct TrackCursor {
  std::size_t pos = 0;
  std::size_t end = 0;
  std::uint64_t nextTime = 0;
  std::uint8_t runningStatus = 0;
  bool active = false;
};

// A standard variable-length quantity (at most four bytes) inside the chunk.
bool ReadVlq(const std::vector<std::uint8_t>& image, TrackCursor& t, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (t.pos >= t.end) return false;
    const std::uint8_t b = image[t.pos++];
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  return false;
}

// The store's stop box, or the list of its messages when the caller decides what to tell.
struct StopBox {
  Session& session;
  std::vector<std::string>* held;
  void operator()(const std::string& text) const {
    if (held != nullptr) {
      held->push_back(text);
    } else {
      session.ShowStopBox(text);
    }
  }
};

bool ReadImage(const StopBox& stop, const std::string& path, std::vector<std::uint8_t>& image, bool& found) {
  found = false;
  std::FILE* f = OpenRegularFile(path);
  if (f == nullptr) return false;
  found = true;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return false;
  }
  image.resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < image.size()) {
    const std::size_t want = std::min(kReadBlock, image.size() - done);
    const std::size_t got = std::fread(image.data() + done, 1, want, f);
    done += got;
    if (got < want) {
      stop("Read error");
      image.resize(done);
      break;
    }
  }
  std::fclose(f);
  return true;
}

class Loader {
 public:
  Loader(const StopBox& stop, const std::vector<std::uint8_t>& image, MidiEventStore& store)
      : session_(stop.session), stop_(stop), image_(image), store_(store) {}

  void Merge(std::vector<TrackCursor>& tracks) {
    for (TrackCursor& t : tracks) {
      std::uint64_t delta = 0;
      t.active = t.pos < t.end && ReadVlq(image_, t, delta);
      t.nextTime = delta;
    }
    const std::uint64_t limit = static_cast<std::uint64_t>(store_.division) * 4 * kBarsOfFourQuarters;
    for (;;) {
      std::size_t best = tracks.size();
      for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i].active && (best == tracks.size() || tracks[i].nextTime < tracks[best].nextTime))
          best = i;
      }
      if (best == tracks.size()) break;
      TrackCursor& t = tracks[best];
      if (t.nextTime > limit && !asked_) {
        asked_ = true;
        const BoxAnswer a = session_.ui().ShowBox("Time > 2000 bars!|File may be corrupted!|Continue anyway?",
                                                  "Alert", BoxIcon::Question, BoxButtons::OkCancel);
        if (a != BoxAnswer::Ok) {
          stop_("Attention!|File not completly loaded!");
          return;
        }
      }
      if (store_.events.size() >= store_.capacity) {
        stop_("Too many events.|Out of memory!");
        return;
      }
      DecodeEvent(t, static_cast<std::uint8_t>(best));
      if (t.active) {
        std::uint64_t delta = 0;
        if (ReadVlq(image_, t, delta)) {
          t.nextTime += delta;
        } else {
          t.active = false;  // the chunk ends without an end-of-track event
        }
      }
    }
    store_.complete = true;
  }

 private:
  void AddInline(const TrackCursor& t, std::uint8_t track, const std::uint8_t* bytes, std::uint32_t n) {
    StoredEvent e;
    e.time = t.nextTime;
    e.track = track;
    e.length = n;
    std::memcpy(e.inlineBytes, bytes, n);
    store_.events.push_back(e);
  }

  void AddPooled(const TrackCursor& t, std::uint8_t track, const std::uint8_t* bytes, std::size_t n) {
    StoredEvent e;
    e.time = t.nextTime;
    e.track = track;
    e.inPool = true;
    e.poolOffset = static_cast<std::uint32_t>(store_.pool.size());
    e.length = static_cast<std::uint32_t>(n);
    store_.pool.insert(store_.pool.end(), bytes, bytes + n);
    store_.events.push_back(e);
  }

  // One event at the track's position; what cannot be decoded is passed over, and the track
  // goes on from the next delta time.
  void DecodeEvent(TrackCursor& t, std::uint8_t track) {
    if (t.pos >= t.end) {
      t.active = false;  // a delta time with no event behind it
      return;
    }
    const std::uint8_t* data = image_.data();
    const std::size_t start = t.pos;
    std::uint8_t status = data[t.pos];
    if (status < 0x80) {
      if (t.runningStatus == 0) {
        ++t.pos;  // a data byte with no status to continue: not stored
        return;
      }
      status = t.runningStatus;
    } else {
      ++t.pos;
    }
    if (status < 0xF0) {
      t.runningStatus = status;
      const std::uint32_t n = ((status & 0xE0) == 0xC0) ? 1 : 2;
      if (t.pos + n > t.end) {
        t.active = false;
        return;
      }
      std::uint8_t bytes[3] = {status, data[t.pos], n == 2 ? data[t.pos + 1] : std::uint8_t{0}};
      t.pos += n;
      AddInline(t, track, bytes, n + 1);
      return;
    }
    if (status == 0xF0 || status == 0xF7) {
      t.runningStatus = 0;
      std::uint64_t length = 0;
      if (!ReadVlq(image_, t, length)) {
        t.active = false;
        return;
      }
      const std::size_t dataStart = t.pos;
      const std::size_t avail = t.end - t.pos;
      const std::size_t n = length < avail ? static_cast<std::size_t>(length) : avail;
      std::size_t cut = n;
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = data[dataStart + i];
        if (b == 0xF7) break;
        if (b >= 0x80) {
          cut = i;
          break;
        }
      }
      t.pos = dataStart + n;
      if (n < length) t.active = false;
      if (cut < n) {
        ShowOnce(sysExShown_, "Error in Midifile!\n\nSystemexclusive message with bit 8 set.\nTruncated!");
        scratch_.assign(1, status);
        AppendVlq(scratch_, cut);
        scratch_.insert(scratch_.end(), data + dataStart, data + dataStart + cut);
        AddPooled(t, track, scratch_.data(), scratch_.size());
      } else {
        AddPooled(t, track, data + start, t.pos - start);
      }
      return;
    }
    if (status == 0xFF) {
      t.runningStatus = 0;
      if (t.pos >= t.end) {
        t.active = false;
        return;
      }
      const std::uint8_t type = data[t.pos++];
      std::uint64_t length = 0;
      if (!ReadVlq(image_, t, length)) {
        t.active = false;
        return;
      }
      const std::size_t avail = t.end - t.pos;
      if (length > avail) {
        t.pos = t.end;
        t.active = false;
        return;  // a meta event cut by the end of its chunk is not a meta event
      }
      t.pos += static_cast<std::size_t>(length);
      if (type > 127 && !metaShown_) {
        metaShown_ = true;
        stop_(Format("<Unknown metaevent > 127>|%d h%2x", type, type));
      }
      if (type == 0x51 && length == 3 && !tempoSeen_) {
        tempoSeen_ = true;
        const std::uint8_t* p = data + t.pos - 3;
        store_.tempo = (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
      }
      AddPooled(t, track, data + start, t.pos - start);
      if (type == 0x2F) t.active = false;
      return;
    }
    // F1 to FE: no length to skip by; the byte alone is passed over.
  }

  static void AppendVlq(std::vector<std::uint8_t>& out, std::size_t value) {
    std::uint8_t tmp[5];
    int n = 0;
    tmp[n++] = static_cast<std::uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0 && n < 5) tmp[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0) out.push_back(tmp[--n]);
  }

  // A damaged file can hold the same fault thousands of times; the user hears of it once a load.
  void ShowOnce(bool& shown, const char* text) {
    if (shown) return;
    shown = true;
    stop_(text);
  }

  Session& session_;
  const StopBox& stop_;
  const std::vector<std::uint8_t>& image_;
  MidiEventStore& store_;
  std::vector<std::uint8_t> scratch_;
  bool asked_ = false;
  bool sysExShown_ = false;
  bool metaShown_ = false;
  bool tempoSeen_ = false;
};

int Fail(EventStoreStatus* status, EventStoreStatus why) {
  if (status != nullptr) *status = why;
  return 1;
}

}  // namespace

void FreeEventStore(MidiEventStore& store) {
  store = MidiEventStore{};
}

int LoadEventStore(Session& session, const std::string& path, MidiEventStore& store,
                   EventStoreStatus* status, std::vector<std::string>* heldMessages) {
  const StopBox stop{session, heldMessages};
  FreeEventStore(store);
  if (status != nullptr) *status = EventStoreStatus::Ok;
  std::vector<std::uint8_t> image;
  bool found = false;
  if (!ReadImage(stop, path, image, found)) {
    stop(Format("Couldn't find file <%s>", path.c_str()));
    return Fail(status, EventStoreStatus::CannotOpen);
  }
  if (image.size() < 4 || std::memcmp(image.data(), "MThd", 4) != 0) {
    stop("This is not\na standard midifile!\nHeadchunk <> 'MThd'");
    return Fail(status, EventStoreStatus::NotMidi);
  }
  if (image.size() < 14 || GetBe32(image.data() + 4) < 6) {
    stop(StreamErrorText(kStreamHeaderEnd));
    return Fail(status, EventStoreStatus::HeaderTruncated);
  }
  const int format = GetBe16(image.data() + 8);
  int count = GetBe16(image.data() + 10);
  const int division = GetBe16(image.data() + 12);
  if (division == 0 || (division & 0x8000) != 0) {
    stop(kUnsupportedDivisionText);
    return Fail(status, EventStoreStatus::UnsupportedDivision);
  }
  if (count > MidiEventStore::kMaxTracks) count = MidiEventStore::kMaxTracks;

  // Chunks of other kinds are passed over; the tracks are the first `count` "MTrk" chunks.
  std::vector<TrackCursor> tracks;
  std::uint64_t trackBytes = 0;
  std::uint64_t pos = 8 + static_cast<std::uint64_t>(GetBe32(image.data() + 4));
  while (static_cast<int>(tracks.size()) < count && pos + 8 <= image.size()) {
    const std::uint8_t* chunk = image.data() + pos;
    const std::uint64_t length = GetBe32(chunk + 4);
    if (std::memcmp(chunk, "MTrk", 4) == 0) {
      if (pos + 8 + length > image.size()) {
        stop(
            Format("Track %d: Midifile error!\nAborted\n", static_cast<int>(tracks.size()) + 1));
        return Fail(status, EventStoreStatus::TrackBeyondEnd);
      }
      TrackCursor t;
      t.pos = static_cast<std::size_t>(pos + 8);
      t.end = static_cast<std::size_t>(pos + 8 + length);
      tracks.push_back(t);
      trackBytes += length;
    }
    pos += 8 + length;
  }

  store.fileName = path;
  store.format = format;
  store.division = division;
  store.trackCount = static_cast<int>(tracks.size());
  // Every stored event takes at least two bytes of its track (delta and status or data).
  store.capacity = static_cast<std::size_t>(trackBytes / 2) + 10000;
  try {
    // Songs average three to four bytes an event; the vectors grow past that when they must.
    store.events.reserve(static_cast<std::size_t>(trackBytes / 3) + 16);
    Loader loader(stop, image, store);
    loader.Merge(tracks);
  } catch (const std::bad_alloc&) {
    FreeEventStore(store);
    stop("Out of memory");
    return Fail(status, EventStoreStatus::OutOfMemory);
  }
  return 0;
}

}  // namespace sondesk
