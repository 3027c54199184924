#pragma once
// One event as the readers deliver it: the status byte always present (also where the file used
// running status), SysEx and meta events with their length bytes exactly as the file gave them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sondesk {

struct MidiEvent {
  // The event's bytes. The vector keeps its capacity from event to event, so a pass over a song
  // allocates only when an event is longer than any before it; no length is too long for it.
  std::vector<std::uint8_t> bytes;
  // SysEx and meta events: where the data starts in `bytes` and how long it is.
  std::size_t dataOffset = 0;
  std::size_t dataLength = 0;

  std::size_t size() const { return bytes.size(); }
  bool empty() const { return bytes.empty(); }
  std::uint8_t Status() const { return bytes.empty() ? 0 : bytes[0]; }
  bool IsMeta() const { return Status() == 0xFF && bytes.size() >= 2; }
  bool IsSysEx() const { return Status() == 0xF0; }
  bool IsChannel() const { return Status() >= 0x80 && Status() < 0xF0; }
  int MetaType() const { return IsMeta() ? bytes[1] : -1; }
  std::span<const std::uint8_t> Data() const {
    if (dataOffset + dataLength > bytes.size()) return {};
    return std::span<const std::uint8_t>(bytes.data() + dataOffset, dataLength);
  }
  // The data of a text meta event up to its first NUL, as the player's tools always read it.
  std::string Text() const;

  void Clear() {
    bytes.clear();
    dataOffset = dataLength = 0;
  }
};

}  // namespace sondesk
