#include "midi/LyricSmfWriter.h"

#include <algorithm>

namespace sondesk {

namespace {

void PutBe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

void AppendMidiVlq(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t tmp[5];
  int n = 0;
  tmp[n++] = static_cast<std::uint8_t>(value & 0x7F);
  while ((value >>= 7) != 0) tmp[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out.push_back(tmp[--n]);
}

bool IsEndOfTrack(const std::uint8_t* bytes, std::size_t size) {
  return size >= 2 && bytes[0] == 0xFF && bytes[1] == 0x2F;
}

void LyricSmfWriter::Add(std::uint32_t time, const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || IsEndOfTrack(bytes, size)) return;
  time = std::max(time, last_);
  AppendMidiVlq(track_, time - last_);
  last_ = time;
  track_.insert(track_.end(), bytes, bytes + size);
  ++events_;
}

std::vector<std::uint8_t> LyricSmfWriter::Finish() const {
  std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
  PutBe(out, 6, 4);
  PutBe(out, 0, 2);
  PutBe(out, 1, 2);
  PutBe(out, division_, 2);
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  PutBe(out, static_cast<std::uint32_t>(track_.size() + 4), 4);
  out.insert(out.end(), track_.begin(), track_.end());
  out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
  return out;
}

}  // namespace sondesk
