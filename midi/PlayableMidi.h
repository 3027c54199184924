#pragma once
// PC playback of a song: the payload of an MF3 file rewritten into an ordinary Standard MIDI file
// that any synthesizer plays as the player would, with the header's mixer applied (channel modes,
// velocity curves, transpositions, bank, program and controller offsets, tempo offset) and the
// player-only events (beat and bar markers, SysEx) left out.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "midi/Mf3Header.h"
#include "midi/TempoMap.h"

namespace sondesk {

class Session;

enum PlayableMidiError : int {
  kPlayableOk = 0,
  kPlayableCutShort = 1,       // the payload ends before its end-of-track event
  kPlayableDeltaTime = 4,      // a delta time longer than 5 bytes
  kPlayableRunningStatus = 5,  // a data byte where no channel status can be reused
  kPlayableBadStatus = 6,      // a status byte F1 to FE
};
const char* PlayableMidiErrorText(int error);

// The slowest tempo the three tempo bytes hold: where a tempo offset would stop the song, it
// plays this slowly instead.
inline constexpr std::uint32_t kSlowestTempo = 0xFFFFFF;

struct PlayableMidi {
  std::vector<std::uint8_t> file;  // empty when `error` is set
  int error = kPlayableOk;
  std::size_t errorOffset = 0;      // payload offset of the event that failed
  std::uint64_t endTick = 0;        // the end-of-track, at 480 ticks a quarter
  std::vector<TempoChange> tempos;  // as written to `file`

  bool ok() const { return error == kPlayableOk; }
  // The song's length from its tempo map.
  double Seconds() const;
};

// The new key of a note moved by `semitones`; a key pushed outside 0-127 comes back by whole
// octaves, so a melody stays a melody.
int TransposeKey(int key, int semitones);
// A tempo with `tempoOffset` beats a minute added (integer beats, as the player counts them).
std::uint32_t OffsetTempo(std::uint32_t microsPerQuarter, int tempoOffset);

// One event of a payload as the walk below delivers it: channel events with their status (running
// status resolved) and data bytes (a note-off gets velocity 64, which the payload leaves out);
// SysEx (status F0) and meta events (status FF, `metaType`) with their data in `body`.
struct PayloadEvent {
  std::uint64_t time = 0;  // absolute, 480 ticks a quarter
  std::uint8_t status = 0;
  std::uint8_t data[2] = {0, 0};
  std::uint8_t metaType = 0;
  std::span<const std::uint8_t> body;
};

struct PayloadWalk {
  int error = kPlayableOk;
  std::size_t errorOffset = 0;
  std::uint64_t endTick = 0;
  bool ok() const { return error == kPlayableOk; }
};

// Reads a payload as the player does, from its track data to its end-of-track event (which is not
// delivered), handing each event to `onEvent`. Beat and bar markers (A8, A9) come with their two
// bytes. Stops at the first error.
PayloadWalk WalkPayload(std::span<const std::uint8_t> payload,
                        const std::function<void(const PayloadEvent&)>& onEvent);

// In memory: `payload` is the decompressed payload of a song whose header is `header`. Text and
// lyric meta events are kept only with `keepLyrics`.
PlayableMidi RenderPlayableMidiBytes(std::span<const std::uint8_t> payload, const Mf3Header& header,
                                     bool keepLyrics);

// The payload file `payloadPath` into the MIDI file `outputPath`. A payload that cannot be opened
// gets "Impossibile aprire il file '%s'!" ("File writing error"); a damaged one a stop box that
// says where; neither leaves an output file behind. True on success; `result` (optional) gets
// the whole outcome.
bool RenderPlayableMidi(Session& session, const std::string& outputPath, const std::string& payloadPath,
                        const Mf3Header& header, bool keepLyrics, PlayableMidi* result = nullptr);

}  // namespace sondesk
