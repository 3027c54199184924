#pragma once
// The event store: a whole Standard MIDI file in memory as one time-ordered list of events.
// Every conversion loads its source here first; the load is the import's structural check of the
// file, and its messages are what the user hears about a damaged file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sondesk {

class Session;

// One event of the store. Channel events (1 to 3 bytes) sit in the record; SysEx and meta events
// lie in the pool, whole: status, (type,) length bytes, data.
struct StoredEvent {
  std::uint64_t time = 0;  // ticks from the start of the song
  std::uint32_t poolOffset = 0;
  std::uint32_t length = 0;
  std::uint8_t inlineBytes[3] = {0, 0, 0};
  std::uint8_t track = 0;  // source track, from 0
  bool inPool = false;
};

struct MidiEventStore {
  static constexpr int kMaxTracks = 16;

  std::string fileName;
  int format = 0;
  int trackCount = 0;  // tracks loaded
  int division = 0;
  std::uint32_t tempo = 500000;  // microseconds per quarter note: the first tempo of the song
  std::vector<StoredEvent> events;
  std::size_t capacity = 0;  // events the store takes before it reports that it is full
  std::vector<std::uint8_t> pool;
  bool complete = false;  // false when the user stopped the load or the store ran full

  std::span<const std::uint8_t> Bytes(const StoredEvent& e) const {
    if (!e.inPool) return std::span<const std::uint8_t>(e.inlineBytes, e.length);
    return std::span<const std::uint8_t>(pool.data() + e.poolOffset, e.length);
  }
};

enum class EventStoreStatus {
  Ok,
  CannotOpen,           // "Couldn't find file <%s>"
  NotMidi,              // no "MThd" at the start
  HeaderTruncated,      // the header chunk ends early
  UnsupportedDivision,  // SMPTE frames or zero ticks per quarter note
  TrackBeyondEnd,       // "Track %d: Midifile error!\nAborted\n"
  OutOfMemory,          // "Out of memory"
};

// Loads `path` into `store` (emptied first). Messages go to the shared stop box, or into
// `heldMessages` when given (the import tells the user once about a damaged file); the 2000-bar
// question is asked at most once. 0 success (a load stopped by the user or by a full store keeps
// the events read so far and still succeeds, with `complete` false), 1 failure with no store.
int LoadEventStore(Session& session, const std::string& path, MidiEventStore& store,
                   EventStoreStatus* status = nullptr, std::vector<std::string>* heldMessages = nullptr);
void FreeEventStore(MidiEventStore& store);

}  // namespace sondesk
