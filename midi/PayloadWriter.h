#pragma once
// The writer of the player's payload: a format 0 Standard MIDI file of one track at 480 ticks
// per quarter note, every event with its status byte (no running status), note-offs as the two
// bytes 8n kk, SysEx and meta lengths as standard variable-length quantities, FF 2F 00 at the end.
//
// Events are given at absolute times in payload ticks and must come in time order; the payload is
// built in memory and written whole, so a failed conversion never leaves half a file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sondesk {

class Session;

inline constexpr int kPayloadDivision = 480;
// The player reads one or two length bytes: a longer SysEx or meta event cannot travel.
inline constexpr std::size_t kPayloadMaxDataLength = 0x3FFF;

class PayloadWriter {
 public:
  explicit PayloadWriter(Session& session);

  // False when the writer has stopped: an event whose time went backwards (reported with
  // "Error writing midifile at: %ld tPos req= %ld").
  bool Channel(std::uint64_t time, std::span<const std::uint8_t> bytes);
  bool NoteOff(std::uint64_t time, int channel, int key);
  bool SysEx(std::uint64_t time, std::span<const std::uint8_t> data);  // data after F0, F7 included
  bool Meta(std::uint64_t time, int type, std::span<const std::uint8_t> data);

  bool failed() const { return failed_; }
  // SysEx and meta events left out because their data was longer than kPayloadMaxDataLength.
  int skipped() const { return skipped_; }
  std::uint64_t time() const { return time_; }

  // The whole file: header, track with its length patched, end-of-track event.
  std::vector<std::uint8_t> Finish();

 private:
  bool Delta(std::uint64_t time);
  void PutVlq(std::uint64_t value);

  Session& session_;
  std::vector<std::uint8_t> out_;
  std::uint64_t time_ = 0;
  bool failed_ = false;
  int skipped_ = 0;
};

}  // namespace sondesk
