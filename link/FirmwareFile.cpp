#include "link/FirmwareFile.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace sondesk {

namespace {

// A decimal number of at most 19 digits at `p`; false when there is no digit or too many.
bool Decimal(std::string_view text, std::size_t& p, std::uint64_t& value) {
  const std::size_t start = p;
  value = 0;
  while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
    if (p - start >= 19) return false;
    value = value * 10 + static_cast<std::uint64_t>(text[p] - '0');
    ++p;
  }
  return p > start;
}

std::string LineLabel(std::size_t lineNumber) {
  return "line " + std::to_string(lineNumber);
}

}  // namespace

bool ParseFirmwareRecord(std::string_view line, SRecord& record, std::string& why) {
  if (!ParseSRecord(line, record, why)) return false;
  if (record.type != '0' && record.type != '2' && record.type != '8') {
    why = std::string("an S") + record.type + " record (only S0, S2 and S8 belong in the file)";
    return false;
  }
  if (record.type == '8' && record.dataLength != 0) {
    why = "an end record that carries data";
    return false;
  }
  return true;
}

FirmwareCheck CheckFirmwareBytes(std::span<const std::uint8_t> bytes) {
  FirmwareCheck r;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  auto fail = [&r](std::string why) {
    r.valid = false;
    r.reason = std::move(why);
    return r;
  };
  if (bytes.size() > kMaxFirmwareFileBytes) return fail("larger than any firmware file");

  // Line 1: the version text.
  const std::size_t end1 = text.find('\n');
  if (end1 == std::string_view::npos) return fail("no version line and no count line");
  r.version = std::string(text.substr(0, end1));
  while (!r.version.empty() && r.version.back() == '\r') r.version.pop_back();

  // Line 2: count and sum. It ends at CR LF, CR or LF; the count covers every byte after it.
  std::size_t p = end1 + 1;
  std::size_t end2 = p;
  while (end2 < text.size() && text[end2] != '\r' && text[end2] != '\n') ++end2;
  if (end2 >= text.size()) return fail("line 2 has no line end");
  const std::string_view line2 = text.substr(p, end2 - p);
  std::size_t q = 0;
  if (!Decimal(line2, q, r.declaredCount)) return fail("line 2 holds no byte count");
  if (q == line2.size()) {
    r.declaredSum = r.declaredCount;
  } else {
    ++q;  // the separator, whatever it is
    if (!Decimal(line2, q, r.declaredSum)) return fail("line 2 holds no byte sum after the count");
  }
  p = end2 + 1;
  if (text[end2] == '\r' && p < text.size() && text[p] == '\n') ++p;

  // Count and sum of the rest, as line 2 promises them.
  for (std::size_t i = p; i < text.size(); ++i) {
    ++r.count;
    r.sum += static_cast<std::uint8_t>(text[i]);
  }
  if (r.count != r.declaredCount) {
    return fail("line 2 says " + std::to_string(r.declaredCount) + " bytes follow, the file holds " +
                std::to_string(r.count));
  }
  if (r.sum != r.declaredSum) {
    return fail("line 2 says the bytes add up to " + std::to_string(r.declaredSum) + ", they add up to " +
                std::to_string(r.sum));
  }

  // Every line after line 2, as the loader would be sent it.
  bool seenHeader = false, seenEnd = false;
  std::size_t lineNumber = 2;
  SRecord record;
  std::string why;
  while (p < text.size()) {
    ++lineNumber;
    std::size_t eol = text.find('\n', p);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(p, eol - p);
    p = eol + 1;
    const std::size_t cr = line.find('\r');
    if (cr != std::string_view::npos) line = line.substr(0, cr);
    if (line.empty()) continue;
    if (line.size() > kMaxFirmwareLine) {
      return fail(LineLabel(lineNumber) + " is longer than " + std::to_string(kMaxFirmwareLine) + " characters");
    }
    if (seenEnd) return fail(LineLabel(lineNumber) + ": a record after the end record");
    if (!ParseFirmwareRecord(line, record, why)) return fail(LineLabel(lineNumber) + ": " + why);
    ++r.records;
    switch (record.type) {
      case '0':
        if (r.records != 1) return fail(LineLabel(lineNumber) + ": a header record that is not the first");
        seenHeader = true;
        break;
      case '2':
        if (!seenHeader) return fail(LineLabel(lineNumber) + ": data before the header record");
        r.dataBytes += record.dataLength;
        for (std::size_t i = 0; i < record.dataLength; ++i) r.dataSum += record.data[i];
        break;
      case '8':
        if (!seenHeader) return fail(LineLabel(lineNumber) + ": an end record before the header record");
        seenEnd = true;
        break;
      default:
        break;
    }
  }
  if (!seenHeader) return fail("no S-records");
  if (r.dataBytes == 0) return fail("no data records");
  if (!seenEnd) return fail("no end record");
  r.valid = true;
  r.reason.clear();
  return r;
}

FirmwareCheck CheckFirmwareFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    FirmwareCheck r;
    r.reason = "cannot be opened";
    return r;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t block[65536];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) {
    bytes.insert(bytes.end(), block, block + n);
    if (bytes.size() > kMaxFirmwareFileBytes) break;
  }
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) {
    FirmwareCheck r;
    r.reason = "cannot be read";
    return r;
  }
  return CheckFirmwareBytes(bytes);
}

int ValidateFirmwareFile(const std::string& path) {
  return CheckFirmwareFile(path).valid ? 1 : 0;
}

std::string ReadFirmwareVersion(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "";
  char line[1024];
  std::string out;
  if (std::fgets(line, sizeof line, f) != nullptr) out = line;
  std::fclose(f);
  return out;
}

}  // namespace sondesk
