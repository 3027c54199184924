// Outside bytes read as a song catalogue: opening, walking every record, reading every field and
// looking up a key must end cleanly and inside the record buffer, whatever the descriptors claim.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "library/DbaseTable.h"

using namespace sondesk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::uint8_t> copy(data, data + size);
  std::FILE* stream = ::fmemopen(copy.data(), copy.size(), "rb");
  if (stream == nullptr) return 0;
  auto table = DbaseTable::FromStream(stream);
  if (!table) return 0;
  if (table->recordLength() > DbaseTable::kMaxRecordLength ||
      table->fields().size() > DbaseTable::kMaxFields) {
    __builtin_trap();
  }
  // Two fields may share a name; the first one's value is what a lookup reads.
  std::size_t widest = 0;
  for (const auto& field : table->fields()) widest = std::max(widest, field.length);
  std::size_t records = 0;
  std::string value;
  for (bool ok = table->FirstRecord(); ok && records < 4096; ok = table->NextRecord(), ++records) {
    for (const auto& field : table->fields()) {
      if (!table->GetField(field.name, value, 256)) __builtin_trap();
      if (value.size() > widest || value.size() > 256) __builtin_trap();
      if (!value.empty() && value.back() == ' ') __builtin_trap();
    }
  }
  if (records > table->recordCount() + 1) __builtin_trap();
  (void)table->Find("GREENSLEEVES.MID", "CODICE");
  (void)table->Find("", "codice");
  return 0;
}
