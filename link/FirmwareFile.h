#pragma once
// The player's firmware file SONVAR.MHX: a text file with CR LF line ends. Line 1 is a free version
// text shown to the user; line 2 holds two decimal numbers, the count of the bytes after line 2
// and their sum; then Motorola S-records: one S0 header, S2 data records with 24-bit addresses, one
// S8 end record, and possibly empty lines.
//
// The loader erases the player's program before the first record arrives, so a file that would
// stop half way must be refused before the loader is woken: the check reads the whole file, counts
// and sums it as line 2 says, and checks every record's type, length and checksum.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/SRecord.h"

namespace sondesk {

inline constexpr const char* kFirmwareFileName = "SONVAR.MHX";
// The loader reads lines of at most 79 characters with their line end; a longer record would reach
// it cut in two.
inline constexpr std::size_t kMaxFirmwareLine = 78;
// Far beyond any firmware; keeps a runaway download or a wrong file from filling the disk or memory.
inline constexpr std::uint64_t kMaxFirmwareFileBytes = 16u * 1024 * 1024;

struct FirmwareCheck {
  bool valid = false;
  std::string reason;  // why not, for the user and the command line; "" when valid
  std::string version; // line 1 without its line end
  std::uint64_t declaredCount = 0, declaredSum = 0;  // line 2
  std::uint64_t count = 0, sum = 0;                  // bytes after line 2, as counted
  std::uint32_t records = 0;                         // S0, S2 and S8 records
  std::uint64_t dataBytes = 0, dataSum = 0;          // the S2 records' data bytes
};

// Checks a whole firmware file held in memory.
FirmwareCheck CheckFirmwareBytes(std::span<const std::uint8_t> bytes);
// Reads and checks the file at `path`; a file that cannot be read is invalid with the reason.
FirmwareCheck CheckFirmwareFile(const std::string& path);

// 1 valid, 0 invalid.
int ValidateFirmwareFile(const std::string& path);

// The file's first line, line end included, at most 1023 characters; "" when it cannot be read.
std::string ReadFirmwareVersion(const std::string& path);

// One line of the file after line 2 as the loader takes it: an S0, S2 or S8 record of the right
// length and checksum. False with `why` otherwise.
bool ParseFirmwareRecord(std::string_view line, SRecord& record, std::string& why);

}  // namespace sondesk
