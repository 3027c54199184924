#pragma once
// The stream reader: the events of all tracks of a Standard MIDI file, one at a time, merged in
// time order, without loading the file whole. Each pass of the conversion and of the lyric page
// rewrite opens its own reader; a reader can be reset and read again.
//
// Format 0 and 1 (and 2, read as if it were 1) with a ticks-per-quarter-note division. A file
// timed in SMPTE frames is refused. Callers stop their loops when `errorCode`, `atFileEnd` or
// `allTracksEnded` is set; the first error is shown once in the shared stop box and ends the pass.

#include <array>
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "midi/MidiEvent.h"

namespace sondesk {

class Session;

enum StreamError : int {
  kStreamOk = 0,
  kStreamBodyEnd = 2,        // "Unexpected End of File in Body!"
  kStreamHeaderEnd = 3,      // "Unexpected End of File in Header!"
  kStreamDeltaTime = 4,      // "Deltatime error!"
  kStreamRunningStatus = 5,  // "Running status error!"
  kStreamRealtime = 6,       // "Realtime Event in Body!"
  kStreamDivision = 7,       // SMPTE or zero division
};

// The message shown for an error code.
const char* StreamErrorText(int errorCode);
// The message for a division the readers do not take, shared by both readers.
extern const char* const kUnsupportedDivisionText;

struct StreamTrack {
  static constexpr std::size_t kBufferSize = 512;

  std::uint64_t dataStart = 0;  // file offset of the chunk's data
  std::uint32_t length = 0;     // declared chunk length
  std::uint32_t consumed = 0;   // chunk bytes taken into the buffer so far
  std::array<std::uint8_t, kBufferSize> buffer{};
  std::uint32_t fill = 0;
  std::uint32_t pos = 0;
  std::uint64_t nextTime = 0;  // absolute tick of the track's next event
  bool active = false;
  std::uint8_t runningStatus = 0;  // last channel status; 0 after SysEx and meta events
  // Salvage: the last channel status, which many writers go on using after a meta event.
  std::uint8_t lastChannelStatus = 0;
  // Salvage: the notes this track has started and not ended (channel × 128 + key).
  std::bitset<16 * 128> sounding;
};

// Where a file read in salvage mode was first found damaged.
struct StreamDamage {
  int code = 0;               // the reader's error code; 0: no damage
  int track = -1;             // track chunk, from 0
  std::uint64_t offset = 0;   // file offset of the first byte that could not be read
  std::uint64_t tick = 0;     // song time when the damage was met
};

struct MidiStreamReader {
  MidiStreamReader() = default;
  MidiStreamReader(const MidiStreamReader&) = delete;
  MidiStreamReader& operator=(const MidiStreamReader&) = delete;
  ~MidiStreamReader();

  Session* session = nullptr;
  std::string path;
  std::FILE* file = nullptr;
  std::uint64_t fileSize = 0;
  std::uint64_t filePos = 0;  // where the file stands, to spare seeks

  int format = 0;
  int trackCount = 0;  // as the header declares it
  int division = 0;

  std::uint64_t now = 0;  // absolute tick of the last delivered event
  int errorCode = kStreamOk;
  bool atFileEnd = false;
  bool allTracksEnded = false;

  // One entry per "MTrk" chunk found within the header's count. There is no fixed limit: a
  // file with many tracks costs a 512-byte buffer for each.
  std::vector<StreamTrack> tracks;

  // Errors already shown: a reset clears the error but a second pass does not show it again.
  std::uint32_t shownErrors = 0;

  // The player's payload writes note-offs as two bytes (8n kk); read so, each note-off is
  // delivered with the velocity 64 that readers of a payload supply.
  bool payloadSyntax = false;

  // Salvage mode, for the import of real files: damage in a track (a chunk cut short, a lost
  // running status, a stray status byte) ends that track only, without a box; the other tracks
  // go on, the notes the damaged track left sounding are ended at the damage, and `damage` tells
  // where it was. Errors of the header still end the pass. Kept across resets.
  bool salvage = false;
  StreamDamage damage;  // the first damage of this pass
  int lastTrack = -1;   // the track of the last delivered event
  std::vector<MidiEvent> pendingNoteOffs;
};

// Opens `path` and reads its header and track table. None when the file cannot be opened (a
// line goes to the Ui's diagnostics, as the original wrote it to a console). A reader whose header
// is bad is returned with its `errorCode` set.
// `salvage` opens it in salvage mode (see MidiStreamReader::salvage) from the first byte on.
std::unique_ptr<MidiStreamReader> OpenStreamReader(Session& session, const std::string& path, bool salvage = false);
// The same for a payload file of the player (two-byte note-offs).
std::unique_ptr<MidiStreamReader> OpenPayloadReader(Session& session, const std::string& path);
// Back to the start: header and track table read again, errors and end flags cleared. False (and
// `errorCode` set) when the header or the track table is bad.
bool ResetStreamReader(MidiStreamReader& reader);
// The next event in time order, into `event` (cleared first). Returns the ticks advanced. Delivers
// nothing once an error is set or all tracks have ended.
std::uint64_t NextStreamEvent(MidiStreamReader& reader, MidiEvent& event);
// The smallest remaining delta among the active tracks, without reading; 0 (and
// `allTracksEnded` set) when no track is active.
std::uint64_t PeekStreamDelta(MidiStreamReader& reader);
void CloseStreamReader(std::unique_ptr<MidiStreamReader>& reader);

}  // namespace sondesk
