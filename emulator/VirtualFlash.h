#pragma once
// The virtual player's program memory and its firmware loader.
//
// The memory is eight blocks of 64 KiB at addresses 0x000000-0x07FFFF. Block 3 holds the loader
// itself: it is never erased and never written. A block reads 0xFF after an erase; a byte can only
// lose bits until its block is erased again, so a second write of a different value is an error.
//
// The loader speaks text lines ended by a carriage return. ESC ends whatever was under way and
// clears the error line. In command mode it knows "ES nn" (erase block nn, hexadecimal),
// "HEXDWL" (S-records follow) and "RST" (leave the loader). In record mode every line is an S0
// header (its data is the program's version text), an S2 data record or an S8 end record; a
// record with a bad checksum, a write the memory cannot take, or any other line raises the error
// line until the next ESC.
//
// What the memory holds survives a restart in a side file beside the card image
// (IMAGE.firmware): a first line naming the format, then the memory as S-records, S0 carrying
// the version text and S2 records every byte written since its block's erase, S8 last.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sondesk {

inline constexpr std::uint32_t kFlashBlockBytes = 0x10000;
inline constexpr std::uint32_t kFlashBlocks = 8;
inline constexpr std::uint32_t kLoaderBlock = 3;

// The side file of a card image.
std::string FlashSideFilePath(const std::string& imagePath);

class VirtualFlash {
 public:
  VirtualFlash();

  // The memory as the side file keeps it; a missing file is a player that was never updated.
  // False with `error` when the file exists but cannot be read or is not a side file.
  bool Load(const std::string& sideFile, std::string& error);
  bool Save(const std::string& sideFile, std::string& error) const;

  // The loader, one character at a time. Returns true when the character ended an "RST" line.
  bool TakeChar(std::uint8_t c);
  // The loader woken again: command mode, no error, no half line.
  void Wake();
  // Raises the error line as a failed write would (fault injection).
  void RaiseError() { error_ = true; }
  bool error() const { return error_; }
  bool recordMode() const { return recordMode_; }
  // Records taken in record mode since the last HEXDWL (the one being taken included).
  std::uint64_t recordLines() const { return recordLines_; }
  // Set when the memory changed since the last call: the caller then saves it.
  bool TakeDirty() {
    const bool d = dirty_;
    dirty_ = false;
    return d;
  }

  struct Summary {
    std::string version;
    std::uint64_t bytes = 0;  // bytes written since their block's erase
    std::uint64_t sum = 0;
    std::vector<std::uint32_t> erasedBlocks;  // blocks erased since the player was made
  };
  Summary Summarize() const;
  // The byte at `address` (0xFF when erased, or beyond the memory).
  std::uint8_t ReadByte(std::uint32_t address) const;
  bool Written(std::uint32_t address) const;
  // Writes one byte as a record would; false when the memory cannot take it.
  bool WriteByte(std::uint32_t address, std::uint8_t value);
  void EraseBlock(std::uint32_t block);

 private:
  void TakeLine(const std::string& line);
  void TakeRecord(const std::string& line);

  std::vector<std::uint8_t> memory_;
  std::vector<bool> written_;
  std::array<bool, kFlashBlocks> erased_{};
  std::string version_;
  std::string line_;
  bool recordMode_ = false;
  bool error_ = false;
  bool dirty_ = false;
  std::uint64_t recordLines_ = 0;
};

}  // namespace sondesk
