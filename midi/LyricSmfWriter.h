#pragma once
// The work files of the lyric rewrite are plain one-track Standard MIDI files: this builds one
// from complete events at absolute times.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sondesk {

class LyricSmfWriter {
 public:
  explicit LyricSmfWriter(std::uint16_t division) : division_(division) {}

  // An event at absolute tick `time`; a time before the previous event's is taken as that one.
  // End-of-track events are left out: Finish adds the one the track needs.
  void Add(std::uint32_t time, const std::uint8_t* bytes, std::size_t size);
  void Add(std::uint32_t time, const std::vector<std::uint8_t>& bytes) {
    Add(time, bytes.data(), bytes.size());
  }

  // The file: header (format 0, one track), the track with its end-of-track event.
  std::vector<std::uint8_t> Finish() const;

  std::size_t eventCount() const { return events_; }

 private:
  std::uint16_t division_;
  std::vector<std::uint8_t> track_;
  std::uint32_t last_ = 0;
  std::size_t events_ = 0;
};

bool IsEndOfTrack(const std::uint8_t* bytes, std::size_t size);

// The file format's variable-length quantity: 7 bits a byte, most significant first.
void AppendMidiVlq(std::vector<std::uint8_t>& out, std::uint32_t value);

}  // namespace sondesk
