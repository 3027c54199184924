#include "midi/PayloadWriter.h"

#include "app/Session.h"

namespace sondesk {

namespace {

constexpr std::size_t kTrackLengthOffset = 18;

}  // namespace

PayloadWriter::PayloadWriter(Session& session) : session_(session) {
  static const std::uint8_t kHead[] = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kPayloadDivision >> 8, kPayloadDivision & 0xFF,
      'M', 'T', 'r', 'k', 0, 0, 0, 0};
  out_.assign(std::begin(kHead), std::end(kHead));
}

void PayloadWriter::PutVlq(std::uint64_t value) {
  std::uint8_t tmp[10];
  int n = 0;
  tmp[n++] = static_cast<std::uint8_t>(value & 0x7F);
  while ((value >>= 7) != 0) tmp[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out_.push_back(tmp[--n]);
}

bool PayloadWriter::Delta(std::uint64_t time) {
  if (failed_) return false;
  if (time < time_) {
    failed_ = true;
    session_.ShowStopBox(Format("Error writing midifile at: %ld tPos req= %ld", static_cast<long>(time_),
                                static_cast<long>(time)));
    return false;
  }
  PutVlq(time - time_);
  time_ = time;
  return true;
}

bool PayloadWriter::Channel(std::uint64_t time, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return !failed_;
  if (!Delta(time)) return false;
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  return true;
}

bool PayloadWriter::NoteOff(std::uint64_t time, int channel, int key) {
  const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(0x80 | (channel & 15)),
                                 static_cast<std::uint8_t>(key & 0x7F)};
  return Channel(time, bytes);
}

bool PayloadWriter::SysEx(std::uint64_t time, std::span<const std::uint8_t> data) {
  if (data.size() > kPayloadMaxDataLength) {
    ++skipped_;
    return !failed_;
  }
  if (!Delta(time)) return false;
  out_.push_back(0xF0);
  PutVlq(data.size());
  out_.insert(out_.end(), data.begin(), data.end());
  return true;
}

bool PayloadWriter::Meta(std::uint64_t time, int type, std::span<const std::uint8_t> data) {
  if (data.size() > kPayloadMaxDataLength) {
    ++skipped_;
    return !failed_;
  }
  if (!Delta(time)) return false;
  out_.push_back(0xFF);
  out_.push_back(static_cast<std::uint8_t>(type));
  PutVlq(data.size());
  out_.insert(out_.end(), data.begin(), data.end());
  return true;
}

std::vector<std::uint8_t> PayloadWriter::Finish() {
  std::vector<std::uint8_t> file = out_;
  file.insert(file.end(), {0x00, 0xFF, 0x2F, 0x00});
  const std::uint64_t length = file.size() - (kTrackLengthOffset + 4);
  for (int i = 0; i < 4; ++i)
    file[kTrackLengthOffset + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  return file;
}

}  // namespace sondesk
