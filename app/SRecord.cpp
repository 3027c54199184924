#include "app/SRecord.h"

namespace sondesk {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::size_t SRecordAddressBytes(char type) {
  switch (type) {
    case '0': case '1': case '5': case '9':
      return 2;
    case '2': case '6': case '8':
      return 3;
    case '3': case '7':
      return 4;
    default:
      return 0;
  }
}

bool ParseSRecord(std::string_view line, SRecord& record, std::string& why) {
  if (line.size() < 4 || line[0] != 'S') {
    why = "not an S-record";
    return false;
  }
  record.type = line[1];
  const std::size_t addressBytes = SRecordAddressBytes(record.type);
  if (addressBytes == 0) {
    why = "no record type S" + std::string(1, record.type);
    return false;
  }
  std::uint8_t bytes[256];
  const std::size_t pairs = (line.size() - 2) / 2;
  if ((line.size() & 1) != 0 || pairs > sizeof bytes) {
    why = "a record of " + std::to_string(line.size()) + " characters";
    return false;
  }
  for (std::size_t i = 0; i < pairs; ++i) {
    const int hi = HexDigit(line[2 + 2 * i]), lo = HexDigit(line[3 + 2 * i]);
    if (hi < 0 || lo < 0) {
      why = "a character that is not hexadecimal";
      return false;
    }
    bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  const std::size_t count = bytes[0];
  if (pairs != count + 1) {
    why = "a record of " + std::to_string(line.size()) + " characters where its length byte says " +
          std::to_string(4 + 2 * count);
    return false;
  }
  if (count < addressBytes + 1) {
    why = "a record too short for its address";
    return false;
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i <= count; ++i) sum += bytes[i];
  if ((sum & 0xFF) != 0xFF) {
    why = "a record checksum error";
    return false;
  }
  record.address = 0;
  for (std::size_t i = 0; i < addressBytes; ++i) record.address = (record.address << 8) | bytes[1 + i];
  record.dataLength = count - addressBytes - 1;
  for (std::size_t i = 0; i < record.dataLength; ++i) record.data[i] = bytes[1 + addressBytes + i];
  return true;
}

std::string FormatSRecord(char type, std::uint32_t address, std::span<const std::uint8_t> data) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::size_t addressBytes = SRecordAddressBytes(type);
  const std::size_t count = addressBytes + data.size() + 1;
  std::string out = {'S', type};
  unsigned sum = 0;
  auto put = [&](std::uint8_t b) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
    sum += b;
  };
  put(static_cast<std::uint8_t>(count));
  for (std::size_t i = addressBytes; i-- > 0;) put(static_cast<std::uint8_t>(address >> (8 * i)));
  for (std::uint8_t b : data) put(b);
  put(static_cast<std::uint8_t>(~sum));
  return out;
}

}  // namespace sondesk
