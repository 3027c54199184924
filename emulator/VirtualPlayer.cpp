#include "emulator/VirtualPlayer.h"

#include <cstdio>
#include <utility>

#include "emulator/IdentifyBlock.h"

namespace sondesk {

namespace {

// The cable crosses the data lines: D0 carries bit 7 of the PC's value.
constexpr std::array<std::uint8_t, 256> MakeReverseTable() {
  std::array<std::uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    for (int bit = 0; bit < 8; ++bit) {
      if (v & (1 << bit)) r |= 0x80 >> bit;
    }
    t[v] = static_cast<std::uint8_t>(r);
  }
  return t;
}
constexpr std::array<std::uint8_t, 256> kUnreverse = MakeReverseTable();

constexpr std::uint8_t kAck = 0x40;
constexpr std::uint8_t kBusy = 0x80;
constexpr std::uint8_t kLoaderReady = 0x20;
constexpr std::uint8_t kLoaderError = 0x08;
// A pulled cable leaves the status inputs floating high; bit 7 is inverted on the port, so it reads 0.
constexpr std::uint8_t kFloatingStatus = 0x7F;

// The status byte that shows nibble n with Ack up: bits 3, 4, 5 carry nibble bits 3, 2, 1, and
// bit 7 reads 0 when nibble bit 0 is 1.
constexpr std::array<std::uint8_t, 16> MakeNibbleTable() {
  std::array<std::uint8_t, 16> t{};
  for (int n = 0; n < 16; ++n) {
    int s = kAck;
    if (n & 8) s |= 0x08;
    if (n & 4) s |= 0x10;
    if (n & 2) s |= 0x20;
    if (!(n & 1)) s |= kBusy;
    t[n] = static_cast<std::uint8_t>(s);
  }
  return t;
}
constexpr std::array<std::uint8_t, 16> kNibbleStatus = MakeNibbleTable();

constexpr std::uint8_t kFrameStart = 0x55;
constexpr std::uint8_t kFrameEnd = 0x0A;
constexpr std::uint8_t kOpWrite = 0x01;
constexpr std::uint8_t kOpRead = 0x02;
constexpr std::uint8_t kAckByte = 0x06, kNakByte = 0x15, kBusyByte = 0x17;

std::uint16_t Sum(const std::uint8_t* p, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += p[i];
  return static_cast<std::uint16_t>(sum);
}

}  // namespace

std::string FormatWireTrace(const std::vector<WireEvent>& events) {
  std::string out;
  char item[8];
  for (const WireEvent& e : events) {
    if (e.kind == WireEvent::Kind::Code) {
      std::snprintf(item, sizeof item, "C:%02X", e.value);
    } else {
      std::snprintf(item, sizeof item, "N:%X", e.value);
    }
    if (!out.empty()) out += ' ';
    out += item;
  }
  return out;
}

VirtualPlayer::VirtualPlayer(CardImage image, const FaultPlan& faults) : image_(std::move(image)) {
  identify_ = MakeIdentifyBlock(image_.sectorCount(),
                                {VirtualCardSerial(image_.sectorCount()), "VP 1.0", "SONDESK VIRTUAL CF"});
  SetFaults(faults);
  status_ = IdleStatus();
}

VirtualPlayer::~VirtualPlayer() {
  if (flashLoaded_ && flash_.TakeDirty()) {
    std::string error;
    SaveFlash(error);
  }
  if (faults_.statsFile.empty()) return;
  if (std::FILE* f = std::fopen(faults_.statsFile.c_str(), "w")) {
    std::fprintf(f, "sectorReads %llu\nsectorWrites %llu\nwritesStored %llu\n",
                 static_cast<unsigned long long>(counters_.sectorReads),
                 static_cast<unsigned long long>(counters_.sectorWrites),
                 static_cast<unsigned long long>(counters_.writesStored));
    std::fclose(f);
  }
}

VirtualFlash& VirtualPlayer::flash() {
  if (!flashLoaded_) {
    flashLoaded_ = true;
    flashError_.clear();
    if (!flash_.Load(FlashSideFilePath(image_.path()), flashError_)) flash_ = VirtualFlash();
  }
  return flash_;
}

bool VirtualPlayer::SaveFlash(std::string& error) {
  return flash().Save(FlashSideFilePath(image_.path()), error);
}

std::unique_ptr<VirtualPlayer> VirtualPlayer::Open(const std::string& imagePath, const FaultPlan& faults,
                                                   std::string& error) {
  CardImage image;
  if (!image.Open(imagePath, error)) return nullptr;
  return std::make_unique<VirtualPlayer>(std::move(image), faults);
}

void VirtualPlayer::SetFaults(const FaultPlan& faults) {
  faults_ = faults;
  rng_.seed(faults.seed);
  if (faults_.unplug.mode == FaultRule::Mode::Always) {
    unplugged_ = true;
    status_ = kFloatingStatus;
  }
  UpdatePlainStrobe();
}


bool VirtualPlayer::Fires(const FaultRule& rule, std::uint64_t event) {
  switch (rule.mode) {
    case FaultRule::Mode::Never:
      return false;
    case FaultRule::Mode::Always:
      return true;
    case FaultRule::Mode::Once:
      return event == rule.n;
    case FaultRule::Mode::Every:
      return event % rule.n == 0;
    case FaultRule::Mode::Chance:
      return rng_() % 1000000 < rule.perMillion;
  }
  return false;
}

std::uint8_t VirtualPlayer::IdleStatus() const {
  if (unplugged_) return kFloatingStatus;
  if (loader_) return kAck | kLoaderReady;
  return answerPosition_ < answerLength_ ? 0 : kBusy;
}

void VirtualPlayer::TakeRawCode(std::uint8_t raw) {
  TakeCode(kUnreverse[raw]);
}

void VirtualPlayer::OnStrobeWithFaults() {
  if (unplugged_) return;
  if (faults_.unplug.mode == FaultRule::Mode::Once && counters_.codes >= faults_.unplug.n) {
    unplugged_ = true;
    status_ = kFloatingStatus;
    UpdatePlainStrobe();
    return;
  }
  const std::uint64_t code = ++counters_.codes;
  const std::uint8_t value = kUnreverse[data_];
  if (tracing_) trace_.push_back(WireCode(value));
  if (faults_.noAck.mode != FaultRule::Mode::Never && Fires(faults_.noAck, code)) return;
  if (loader_) {
    TakeLoaderCode(value);
    return;
  }
  TakeCode(value);
}

void VirtualPlayer::TakeCode(std::uint8_t code) {
  status_ = kAck;
  if ((code & 0xBF) == 0x00) {  // 0x00 / 0x40: the PC asks for the high / low nibble
    std::uint8_t nibble = 0;
    if (answerPosition_ < answerLength_) {
      const std::uint8_t b = answer_[answerPosition_];
      if (code == 0x00) {
        nibble = b >> 4;
      } else {
        nibble = b & 0x0F;
        ++answerPosition_;
      }
    }
    status_ = kNibbleStatus[nibble];
    if (tracing_) trace_.push_back(WireNibble(nibble));
    commandPrefix_ = false;
    return;
  }
  switch (code & 0xF0) {
    case 0x80:
      // 0x80 opens a byte and is also the high nibble 0; which one it is depends on where we are.
      if (rx_ == Rx::High) {
        rxHigh_ = code & 0x0F;
        rx_ = Rx::Low;
      } else if (code == 0x80) {
        // The PC talks again: whatever answer was still waiting is no longer wanted.
        answerLength_ = answerPosition_ = 0;
        rx_ = Rx::High;
      } else {
        rx_ = Rx::Start;
      }
      break;
    case 0xC0:
      if (rx_ == Rx::Low) {
        rx_ = Rx::Start;
        TakeByte(static_cast<std::uint8_t>((rxHigh_ << 4) | (code & 0x0F)));
      } else {
        rx_ = Rx::Start;
      }
      break;
    case 0xA0:
      if (code == 0xAF) {
        commandPrefix_ = true;
        ResetReceiver();
        return;
      }
      if (commandPrefix_) TakeCommand(code & 0x0F);
      break;
    default:
      break;
  }
  commandPrefix_ = false;
}

void VirtualPlayer::ResetReceiver() {
  rx_ = Rx::Start;
  frame_ = Frame::Idle;
  headerLength_ = 0;
  writeLength_ = 0;
}

void VirtualPlayer::TakeCommand(int command) {
  switch (command) {
    case 1:  // access
    case 3:  // connect
      ++counters_.requests;
      answerLength_ = answerPosition_ = 0;
      if (Fires(faults_.busy, counters_.requests)) {
        Answer(kBusyByte);
      } else {
        accessGranted_ = true;
        Answer(kAckByte);
      }
      break;
    case 2:  // release
      accessGranted_ = false;
      answerLength_ = answerPosition_ = 0;
      break;
    case 5:  // abort: forget the request under way
      ++counters_.aborts;
      ResetReceiver();
      answerLength_ = answerPosition_ = 0;
      break;
    case 10:  // wake the firmware loader
      loader_ = true;
      UpdatePlainStrobe();
      WakeLoader();
      break;
    default:
      break;
  }
}

void VirtualPlayer::Answer(std::uint8_t b) {
  answer_[0] = b;
  answerLength_ = 1;
  answerPosition_ = 0;
}

void VirtualPlayer::TakeByte(std::uint8_t b) {
  switch (frame_) {
    case Frame::Idle:
      if (b == kFrameStart) {
        header_[0] = b;
        headerLength_ = 1;
        frame_ = Frame::Header;
      }
      break;
    case Frame::Header:
      header_[headerLength_++] = b;
      if (headerLength_ == header_.size()) CheckHeader();
      break;
    case Frame::WriteData:
      writeBuffer_[writeLength_++] = b;
      if (writeLength_ == writeBuffer_.size()) FinishWrite();
      break;
  }
}

void VirtualPlayer::CheckHeader() {
  const bool valid =
      header_[5] == 0x00 && header_[6] == kFrameEnd && (header_[1] == kOpRead || header_[1] == kOpWrite);
  if (!valid) {
    // A frame that lost bytes on the way: look for a later start byte and go on from there, so the
    // next request of the PC is understood without waiting for an abort.
    std::size_t next = 1;
    while (next < headerLength_ && header_[next] != kFrameStart) ++next;
    std::size_t kept = 0;
    for (std::size_t i = next; i < headerLength_; ++i) header_[kept++] = header_[i];
    headerLength_ = kept;
    frame_ = kept ? Frame::Header : Frame::Idle;
    return;
  }
  const std::uint32_t lba = header_[2] | (header_[3] << 8) | (static_cast<std::uint32_t>(header_[4]) << 16);
  frame_ = Frame::Idle;
  headerLength_ = 0;
  if (faults_.strict && !accessGranted_) return;  // not ours to serve: no answer
  if (header_[1] == kOpRead) {
    ServeRead(lba);
  } else {
    writeLba_ = lba;
    writeLength_ = 0;
    frame_ = Frame::WriteData;
  }
}

void VirtualPlayer::ServeRead(std::uint32_t lba) {
  const std::uint64_t number = ++counters_.sectorReads;
  std::uint8_t* sector = answer_.data() + 1;
  bool ok = true;
  if (lba == 0xFFFFFF) {
    std::copy(identify_.begin(), identify_.end(), sector);
  } else {
    ok = image_.ReadSector(lba, std::span<std::uint8_t, 512>(sector, 512));
  }
  if (!ok) {  // beyond the card, or the image failed: the card reports an error
    Answer(kNakByte);
    return;
  }
  answer_[0] = kAckByte;
  std::uint16_t sum = Sum(sector, 512);
  if (Fires(faults_.badChecksum, number)) sum ^= 0x0101;
  answer_[513] = 0xFF;
  answer_[514] = static_cast<std::uint8_t>(sum >> 8);
  answer_[515] = static_cast<std::uint8_t>(sum);
  answerLength_ = 516;
  // Busy rises where the checksum should follow, as when the card stops answering mid-sector.
  if (Fires(faults_.shortRead, number)) answerLength_ = 513;
  answerPosition_ = 0;
}

void VirtualPlayer::FinishWrite() {
  frame_ = Frame::Idle;
  writeLength_ = 0;
  const std::uint64_t number = ++counters_.sectorWrites;
  const std::uint16_t sum = Sum(writeBuffer_.data(), 512);
  const std::uint16_t sent = static_cast<std::uint16_t>((writeBuffer_[514] << 8) | writeBuffer_[515]);
  if (sum != sent || Fires(faults_.nak, number) || writeLba_ == 0xFFFFFF ||
      !image_.WriteSector(writeLba_, std::span<const std::uint8_t, 512>(writeBuffer_.data(), 512))) {
    Answer(kNakByte);
    return;
  }
  ++counters_.writesStored;
  if (faults_.cut.mode == FaultRule::Mode::Once && counters_.writesStored == faults_.cut.n) {
    // The sector is on the card; the cable goes before the player can say so.
    unplugged_ = true;
    status_ = kFloatingStatus;
    UpdatePlainStrobe();
    return;
  }
  Answer(kAckByte);
}

void VirtualPlayer::WakeLoader() {
  flash().Wake();
  loaderLine_.clear();
  loaderStuck_ = false;
  status_ = LoaderStatus(true);
}

std::uint8_t VirtualPlayer::LoaderStatus(bool ack) {
  return static_cast<std::uint8_t>((ack ? kAck : 0) | kLoaderReady | (flash_.error() ? kLoaderError : 0));
}

// The loader takes a character on the strobe, drops Ack while it works on it and raises it again
// at the release.
void VirtualPlayer::TakeLoaderCode(std::uint8_t code) {
  if ((code & 0xF0) == 0xA0) {
    if (code == 0xAA) WakeLoader();  // woken again: a loader that hung comes back
    return;
  }
  if (loaderStuck_) return;
  if (Fires(faults_.loaderNoAck, ++loaderChars_)) {
    loaderStuck_ = true;
    status_ = LoaderStatus(false);
    return;
  }
  VirtualFlash& flash = this->flash();
  if (code == 27) {
    loaderLine_.clear();
    loaderLines_.emplace_back("\x1b");
  } else if (code != 13) {
    loaderLine_ += static_cast<char>(code);
  } else {
    loaderLines_.push_back(loaderLine_);
    loaderLine_.clear();
  }
  const bool recording = flash.recordMode();
  const std::uint64_t records = flash.recordLines();
  const bool leave = flash.TakeChar(code);
  if (recording && flash.recordLines() != records && Fires(faults_.loaderError, flash.recordLines())) {
    flash.RaiseError();
  }
  // Saved when a command or a whole download is done, not after every record.
  if ((code == 13 || code == 27) && !flash.recordMode() && flash.TakeDirty()) {
    std::string error;
    SaveFlash(error);
  }
  status_ = LoaderStatus(false);
  if (leave) {
    loader_ = false;
    UpdatePlainStrobe();
    ResetReceiver();
    answerLength_ = answerPosition_ = 0;
    status_ = IdleStatus();
  }
}

}  // namespace sondesk
