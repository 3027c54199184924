#include "tests/support/MidiWriter.h"

#include <fstream>
#include <stdexcept>

namespace sondesk::test {

MidiBytes Vlq(std::uint32_t value) {
  MidiBytes out;
  out.push_back(static_cast<std::uint8_t>(value & 0x7F));
  while ((value >>= 7) != 0) out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
  return out;
}

namespace {

void PutBe32(MidiBytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutBe16(MidiBytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutId(MidiBytes& out, const std::string& id) {
  for (std::size_t i = 0; i < 4; ++i) out.push_back(i < id.size() ? static_cast<std::uint8_t>(id[i]) : ' ');
}

}  // namespace

MidiWriter::MidiWriter(int format, int division)
    : format_(format), division_(static_cast<std::uint16_t>(division)) {}

MidiWriter& MidiWriter::DeclaredTrackCount(int count) {
  declaredTracks_ = count;
  return *this;
}
MidiWriter& MidiWriter::RawDivision(std::uint16_t division) {
  division_ = division;
  return *this;
}
MidiWriter& MidiWriter::HeaderId(const std::string& id) {
  headerId_ = id;
  return *this;
}
MidiWriter& MidiWriter::HeaderLength(std::uint32_t length) {
  headerLength_ = length;
  return *this;
}
MidiWriter& MidiWriter::HeaderExtra(const MidiBytes& bytes) {
  headerExtra_ = bytes;
  return *this;
}

MidiWriter& MidiWriter::Track() {
  chunks_.emplace_back();
  return *this;
}

MidiWriter& MidiWriter::ForeignChunk(const std::string& id, const MidiBytes& data) {
  Chunk c;
  c.id = id;
  c.data = data;
  c.isTrack = false;
  chunks_.push_back(c);
  return *this;
}

MidiWriter::Chunk& MidiWriter::Current() {
  if (chunks_.empty() || !chunks_.back().isTrack) Track();
  return chunks_.back();
}

const MidiWriter::Chunk& MidiWriter::Current() const {
  if (chunks_.empty()) throw std::logic_error("MidiWriter: no track yet");
  return chunks_.back();
}

MidiWriter& MidiWriter::ChunkId(const std::string& id) {
  Current().id = id;
  return *this;
}
MidiWriter& MidiWriter::DeclaredLength(std::uint32_t length) {
  Current().declaredLength = length;
  return *this;
}
MidiWriter& MidiWriter::OmitEndOfTrack() {
  Current().omitEnd = true;
  return *this;
}
MidiWriter& MidiWriter::RunningStatus(bool on) {
  Current().runningStatus = on;
  return *this;
}

void MidiWriter::PutDelta(std::uint32_t delta) {
  Chunk& c = Current();
  const MidiBytes v = Vlq(delta);
  c.data.insert(c.data.end(), v.begin(), v.end());
  c.time += delta;
}

MidiWriter& MidiWriter::ChannelEvent(std::uint32_t delta, std::uint8_t status, const MidiBytes& data) {
  PutDelta(delta);
  Chunk& c = Current();
  if (!(c.runningStatus && c.lastStatus == status)) c.data.push_back(status);
  c.lastStatus = status;
  c.data.insert(c.data.end(), data.begin(), data.end());
  return *this;
}

MidiWriter& MidiWriter::NoteOn(std::uint32_t delta, int channel, int key, int velocity) {
  return ChannelEvent(delta, static_cast<std::uint8_t>(0x90 | (channel & 15)),
                      {static_cast<std::uint8_t>(key & 0x7F), static_cast<std::uint8_t>(velocity & 0x7F)});
}
MidiWriter& MidiWriter::NoteOff(std::uint32_t delta, int channel, int key, int velocity) {
  return ChannelEvent(delta, static_cast<std::uint8_t>(0x80 | (channel & 15)),
                      {static_cast<std::uint8_t>(key & 0x7F), static_cast<std::uint8_t>(velocity & 0x7F)});
}
MidiWriter& MidiWriter::Control(std::uint32_t delta, int channel, int controller, int value) {
  return ChannelEvent(
      delta, static_cast<std::uint8_t>(0xB0 | (channel & 15)),
      {static_cast<std::uint8_t>(controller & 0x7F), static_cast<std::uint8_t>(value & 0x7F)});
}
MidiWriter& MidiWriter::Program(std::uint32_t delta, int channel, int program) {
  return ChannelEvent(delta, static_cast<std::uint8_t>(0xC0 | (channel & 15)),
                      {static_cast<std::uint8_t>(program & 0x7F)});
}
MidiWriter& MidiWriter::PitchBend(std::uint32_t delta, int channel, int value14) {
  return ChannelEvent(
      delta, static_cast<std::uint8_t>(0xE0 | (channel & 15)),
      {static_cast<std::uint8_t>(value14 & 0x7F), static_cast<std::uint8_t>((value14 >> 7) & 0x7F)});
}
MidiWriter& MidiWriter::Channel(std::uint32_t delta, std::initializer_list<std::uint8_t> statusAndData) {
  if (statusAndData.size() == 0) return *this;
  MidiBytes data(statusAndData.begin() + 1, statusAndData.end());
  return ChannelEvent(delta, *statusAndData.begin(), data);
}

MidiWriter& MidiWriter::Meta(std::uint32_t delta, int type, const std::string& data) {
  return Meta(delta, type, MidiBytes(data.begin(), data.end()));
}

MidiWriter& MidiWriter::Meta(std::uint32_t delta, int type, const MidiBytes& data) {
  PutDelta(delta);
  Chunk& c = Current();
  c.data.push_back(0xFF);
  c.data.push_back(static_cast<std::uint8_t>(type));
  const MidiBytes len = Vlq(static_cast<std::uint32_t>(data.size()));
  c.data.insert(c.data.end(), len.begin(), len.end());
  c.data.insert(c.data.end(), data.begin(), data.end());
  c.lastStatus = -1;
  if (type == 0x2F) c.ended = true;
  return *this;
}

MidiWriter& MidiWriter::Tempo(std::uint32_t delta, std::uint32_t micros) {
  return Meta(delta, 0x51,
              MidiBytes{static_cast<std::uint8_t>(micros >> 16), static_cast<std::uint8_t>(micros >> 8),
                        static_cast<std::uint8_t>(micros)});
}

MidiWriter& MidiWriter::TimeSignature(std::uint32_t delta, int numerator, int denominatorPower) {
  return Meta(
      delta, 0x58,
      MidiBytes{static_cast<std::uint8_t>(numerator), static_cast<std::uint8_t>(denominatorPower), 24, 8});
}

MidiWriter& MidiWriter::EndOfTrack(std::uint32_t delta) {
  return Meta(delta, 0x2F, MidiBytes{});
}

MidiWriter& MidiWriter::SysEx(std::uint32_t delta, const MidiBytes& data) {
  PutDelta(delta);
  Chunk& c = Current();
  c.data.push_back(0xF0);
  const MidiBytes len = Vlq(static_cast<std::uint32_t>(data.size()));
  c.data.insert(c.data.end(), len.begin(), len.end());
  c.data.insert(c.data.end(), data.begin(), data.end());
  c.lastStatus = -1;
  return *this;
}

MidiWriter& MidiWriter::Sxs(std::uint32_t delta, int type, const std::string& text) {
  MidiBytes data{0x00, 0x20, 0x24, 0x00, static_cast<std::uint8_t>(type)};
  data.insert(data.end(), text.begin(), text.end());
  data.push_back(0xF7);
  return SysEx(delta, data);
}

MidiWriter& MidiWriter::Raw(std::uint32_t delta, const MidiBytes& bytes) {
  PutDelta(delta);
  return RawNoDelta(bytes);
}

MidiWriter& MidiWriter::RawNoDelta(const MidiBytes& bytes) {
  Chunk& c = Current();
  c.data.insert(c.data.end(), bytes.begin(), bytes.end());
  return *this;
}

std::uint32_t MidiWriter::TrackTime() const {
  return Current().time;
}

std::uint32_t MidiWriter::DeltaTo(std::uint32_t tick) const {
  const std::uint32_t now = TrackTime();
  return tick > now ? tick - now : 0;
}

MidiBytes MidiWriter::Build() const {
  MidiBytes out;
  int tracks = 0;
  for (const Chunk& c : chunks_) tracks += c.isTrack ? 1 : 0;
  PutId(out, headerId_);
  PutBe32(out, headerLength_.value_or(static_cast<std::uint32_t>(6 + headerExtra_.size())));
  PutBe16(out, static_cast<std::uint32_t>(format_));
  PutBe16(out, static_cast<std::uint32_t>(declaredTracks_.value_or(tracks)));
  PutBe16(out, division_);
  out.insert(out.end(), headerExtra_.begin(), headerExtra_.end());
  for (const Chunk& c : chunks_) {
    MidiBytes data = c.data;
    if (c.isTrack && !c.ended && !c.omitEnd) data.insert(data.end(), {0x00, 0xFF, 0x2F, 0x00});
    PutId(out, c.id);
    PutBe32(out, c.declaredLength.value_or(static_cast<std::uint32_t>(data.size())));
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

void MidiWriter::Save(const std::string& path) const {
  const MidiBytes data = Build();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("MidiWriter: cannot create " + path);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

}  // namespace sondesk::test
