#include "emulator/VirtualFlash.h"

#include <sstream>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "app/SRecord.h"

namespace sondesk {

namespace {

constexpr const char* kSideFileMagic = "SonDesk virtual player program memory 1";
constexpr std::uint8_t kEsc = 27;
constexpr std::uint8_t kReturn = 13;
// The loader's line buffer; a longer line is an error, not two lines.
constexpr std::size_t kLoaderLineMax = 80;
constexpr std::size_t kSideRecordBytes = 32;

int HexValue(const std::string& text) {
  if (text.empty() || text.size() > 2) return -1;
  int v = 0;
  for (char c : text) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

}  // namespace

std::string FlashSideFilePath(const std::string& imagePath) {
  return imagePath + ".firmware";
}

VirtualFlash::VirtualFlash()
    : memory_(kFlashBlocks * kFlashBlockBytes, 0xFF), written_(kFlashBlocks * kFlashBlockBytes, false) {}

std::uint8_t VirtualFlash::ReadByte(std::uint32_t address) const {
  return address < memory_.size() ? memory_[address] : 0xFF;
}

bool VirtualFlash::Written(std::uint32_t address) const {
  return address < written_.size() && written_[address];
}

bool VirtualFlash::WriteByte(std::uint32_t address, std::uint8_t value) {
  if (address >= memory_.size() || address / kFlashBlockBytes == kLoaderBlock) return false;
  // Programming only clears bits.
  const std::uint8_t result = memory_[address] & value;
  memory_[address] = result;
  written_[address] = true;
  dirty_ = true;
  return result == value;
}

void VirtualFlash::EraseBlock(std::uint32_t block) {
  const std::size_t start = static_cast<std::size_t>(block) * kFlashBlockBytes;
  std::fill(memory_.begin() + start, memory_.begin() + start + kFlashBlockBytes, 0xFF);
  std::fill(written_.begin() + start, written_.begin() + start + kFlashBlockBytes, false);
  erased_[block] = true;
  // The version belongs to the program being replaced.
  version_.clear();
  dirty_ = true;
}

void VirtualFlash::Wake() {
  line_.clear();
  recordMode_ = false;
  error_ = false;
}

bool VirtualFlash::TakeChar(std::uint8_t c) {
  if (c == kEsc) {
    Wake();
    return false;
  }
  if (c != kReturn) {
    if (line_.size() <= kLoaderLineMax) line_ += static_cast<char>(c);
    return false;
  }
  std::string line;
  line.swap(line_);
  if (line.size() > kLoaderLineMax) {
    error_ = true;
    return false;
  }
  if (!recordMode_ && line == "RST") return true;
  TakeLine(line);
  return false;
}

void VirtualFlash::TakeLine(const std::string& line) {
  if (recordMode_) {
    if (!line.empty()) TakeRecord(line);
    return;
  }
  if (line.empty()) return;
  if (line == "HEXDWL") {
    recordMode_ = true;
    recordLines_ = 0;
    return;
  }
  if (line.size() == 5 && line.compare(0, 3, "ES ") == 0) {
    const int block = HexValue(line.substr(3));
    if (block >= 0 && static_cast<std::uint32_t>(block) < kFlashBlocks && block != kLoaderBlock) {
      EraseBlock(static_cast<std::uint32_t>(block));
      return;
    }
  }
  error_ = true;  // a command the loader does not know, or a block it may not erase
}

void VirtualFlash::TakeRecord(const std::string& line) {
  ++recordLines_;
  SRecord record;
  std::string why;
  if (error_ || !ParseSRecord(line, record, why)) {
    error_ = true;
    return;
  }
  switch (record.type) {
    case '0':
      version_.assign(reinterpret_cast<const char*>(record.data.data()), record.dataLength);
      while (!version_.empty() && version_.back() == '\0') version_.pop_back();
      dirty_ = true;
      break;
    case '2':
      for (std::size_t i = 0; i < record.dataLength; ++i) {
        if (!WriteByte(record.address + static_cast<std::uint32_t>(i), record.data[i])) error_ = true;
      }
      break;
    case '8':
      recordMode_ = false;
      break;
    default:
      error_ = true;
      break;
  }
}

VirtualFlash::Summary VirtualFlash::Summarize() const {
  Summary s;
  s.version = version_;
  for (std::size_t a = 0; a < memory_.size(); ++a) {
    if (!written_[a]) continue;
    ++s.bytes;
    s.sum += memory_[a];
  }
  for (std::uint32_t b = 0; b < kFlashBlocks; ++b) {
    if (erased_[b]) s.erasedBlocks.push_back(b);
  }
  return s;
}

bool VirtualFlash::Save(const std::string& sideFile, std::string& error) const {
  std::string out = std::string(kSideFileMagic) + "\n";
  out += "erased:";
  for (std::uint32_t b = 0; b < kFlashBlocks; ++b) {
    if (erased_[b]) out += " " + std::to_string(b);
  }
  out += "\n";
  out += FormatSRecord('0', 0, std::span(reinterpret_cast<const std::uint8_t*>(version_.data()),
                                         std::min<std::size_t>(version_.size(), 252)));
  out += "\n";
  std::uint8_t run[kSideRecordBytes];
  for (std::uint32_t a = 0; a < memory_.size();) {
    if (!written_[a]) {
      ++a;
      continue;
    }
    const std::uint32_t start = a;
    std::size_t n = 0;
    while (a < memory_.size() && written_[a] && n < kSideRecordBytes) run[n++] = memory_[a++];
    out += FormatSRecord('2', start, std::span(run, n)) + "\n";
  }
  out += FormatSRecord('8', 0, {}) + "\n";
  if (!WriteFileAtomically(sideFile, out)) {
    error = "cannot write " + sideFile;
    return false;
  }
  return true;
}

bool VirtualFlash::Load(const std::string& sideFile, std::string& error) {
  *this = VirtualFlash();
  if (!IsFile(sideFile)) return true;
  std::string text;
  if (!ReadWholeFile(sideFile, text)) {
    error = "cannot read " + sideFile;
    return false;
  }
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kSideFileMagic) {
    error = sideFile + " is not the program memory of a virtual player";
    return false;
  }
  std::size_t lineNumber = 1;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.rfind("erased:", 0) == 0) {
      std::istringstream blocks(line.substr(7));
      std::uint32_t b = 0;
      while (blocks >> b) {
        if (b < kFlashBlocks) erased_[b] = true;
      }
      continue;
    }
    SRecord record;
    std::string why;
    if (!ParseSRecord(line, record, why)) {
      error = sideFile + " line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    if (record.type == '0') {
      version_.assign(reinterpret_cast<const char*>(record.data.data()), record.dataLength);
    } else if (record.type == '2') {
      for (std::size_t i = 0; i < record.dataLength; ++i) {
        const std::uint32_t a = record.address + static_cast<std::uint32_t>(i);
        if (a >= memory_.size()) {
          error = sideFile + " line " + std::to_string(lineNumber) + ": beyond the program memory";
          return false;
        }
        memory_[a] = record.data[i];
        written_[a] = true;
      }
    }
  }
  dirty_ = false;
  return true;
}

}  // namespace sondesk
