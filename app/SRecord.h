#pragma once
// Motorola S-records, the text form in which the player's program travels: "S", a type digit, a
// length byte, the address, the data and a checksum byte, all as pairs of hexadecimal digits. The
// checksum is the ones' complement of the low byte of the sum of the length, address and data bytes.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sondesk {

struct SRecord {
  char type = 0;  // '0' .. '9'
  std::uint32_t address = 0;
  std::array<std::uint8_t, 255> data{};
  std::size_t dataLength = 0;
};

// Bytes of the address of a record type: 2 for S0, S1, S5, S9; 3 for S2, S6, S8; 4 for S3, S7;
// 0 for a type that does not exist.
std::size_t SRecordAddressBytes(char type);

// One record without its line end. False with `why` when the line is not a record whose length
// byte matches the line, or whose checksum is wrong.
bool ParseSRecord(std::string_view line, SRecord& record, std::string& why);

// The record line (upper-case hexadecimal, no line end). `data` must leave room for the address
// and the checksum in the length byte.
std::string FormatSRecord(char type, std::uint32_t address, std::span<const std::uint8_t> data);

}  // namespace sondesk
