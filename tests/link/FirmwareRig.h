#pragma once
// What the firmware tests share: firmware texts made to measure (line 2 counted and summed as the
// format wants), the shipped file, and the S2 data a file carries.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/SRecord.h"

namespace sondesk::test {

inline std::string ShippedFirmwarePath() {
  return std::string(SONDESK_PROGRAM_DIR) + "/SONVAR.MHX";
}

// A firmware file of `version` and the lines after line 2 (each ended with CR LF), with line 2
// holding their true count and sum.
inline std::string FirmwareText(const std::string& version, const std::vector<std::string>& lines) {
  std::string body;
  for (const std::string& l : lines) body += l + "\r\n";
  std::uint64_t sum = 0;
  for (unsigned char c : body) sum += c;
  return version + "\r\n" + std::to_string(body.size()) + " " + std::to_string(sum) + "\r\n" + body;
}

// A small valid file: header, `records` data records of 16 bytes from address `base`, end.
inline std::vector<std::string> FirmwareLines(int records = 8, std::uint32_t base = 0x000100,
                                              const std::string& header = "TEST 1.0") {
  std::vector<std::string> lines;
  lines.push_back(FormatSRecord('0', 0, std::span(reinterpret_cast<const std::uint8_t*>(header.data()), header.size())));
  for (int r = 0; r < records; ++r) {
    std::uint8_t data[16];
    for (int i = 0; i < 16; ++i) data[i] = static_cast<std::uint8_t>(r * 31 + i * 7 + 1);
    lines.push_back(FormatSRecord('2', base + static_cast<std::uint32_t>(r * 16), data));
  }
  lines.push_back(FormatSRecord('8', 0, {}));
  return lines;
}

// The S2 data of a firmware text, by address.
inline std::map<std::uint32_t, std::uint8_t> FirmwareData(const std::string& text) {
  std::map<std::uint32_t, std::uint8_t> data;
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t eol = text.find('\n', p);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(p, eol - p);
    p = eol + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    SRecord r;
    std::string why;
    if (line.rfind("S2", 0) != 0 || !ParseSRecord(line, r, why)) continue;
    for (std::size_t i = 0; i < r.dataLength; ++i) data[r.address + static_cast<std::uint32_t>(i)] = r.data[i];
  }
  return data;
}

// A record line with its checksum digits changed, length and shape kept.
inline std::string WithBadChecksum(std::string record) {
  char& last = record.back();
  last = last == '0' ? '1' : '0';
  return record;
}

}  // namespace sondesk::test
