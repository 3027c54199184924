#include "library/DbaseTable.h"

#include <cstring>

#include "library/SongNames.h"
#include "app/AtomicFile.h"

namespace sondesk {

std::unique_ptr<DbaseTable> DbaseTable::Open(const std::string& path) {
  std::FILE* f = OpenRegularFile(path);
  if (f == nullptr) return nullptr;
  return FromStream(f);
}

std::unique_ptr<DbaseTable> DbaseTable::FromStream(std::FILE* stream) {
  if (stream == nullptr) return nullptr;
  std::unique_ptr<DbaseTable> table(new DbaseTable(stream));
  if (!table->ReadDescriptors()) return nullptr;
  return table;
}

DbaseTable::~DbaseTable() {
  if (file_ != nullptr) std::fclose(file_);
}

bool DbaseTable::ReadDescriptors() {
  if (std::fread(header_, 1, sizeof header_, file_) != sizeof header_) return false;
  std::size_t length = 0;
  int c = std::fgetc(file_);
  while (c != 0x0D) {
    if (c == EOF) return false;
    std::uint8_t rest[31];
    if (std::fread(rest, 1, sizeof rest, file_) != sizeof rest) return false;
    if (fields_.size() >= kMaxFields) return false;
    Field field;
    field.name.push_back(static_cast<char>(c));
    for (std::size_t i = 0; i < 10 && rest[i] != 0; ++i) field.name.push_back(static_cast<char>(rest[i]));
    if (c == 0) field.name.clear();
    field.type = static_cast<char>(rest[10]);
    field.offset = length;
    field.length = rest[15];
    length += field.length;
    fields_.push_back(std::move(field));
    c = std::fgetc(file_);
  }
  if (length + 1 > kMaxRecordLength) return false;
  // The first record's deletion flag; some writers put one 0x00 byte between the descriptor list's
  // end mark and the data.
  c = std::fgetc(file_);
  if (c == 0x00) c = std::fgetc(file_);
  if (c == EOF) std::clearerr(file_);
  dataStart_ = std::ftell(file_);
  if (dataStart_ < 0) return false;
  recordLength_ = length + 1;
  record_.assign(recordLength_, 0);

  long fileSize = -1;
  if (std::fseek(file_, 0, SEEK_END) == 0) fileSize = std::ftell(file_);
  recordCount_ = fileSize > dataStart_ ? static_cast<std::size_t>(fileSize - dataStart_) / recordLength_ : 0;
  recordPosition_ = dataStart_;
  return std::fseek(file_, dataStart_, SEEK_SET) == 0;
}

bool DbaseTable::ReadRecord() {
  recordPosition_ = std::ftell(file_);
  const std::size_t n = std::fread(record_.data(), 1, recordLength_, file_);
  if (n == recordLength_) return true;
  // A record reads its fields and the next record's deletion flag. The last record of a table
  // written without the closing 0x1A has no byte behind it; its fields are all there, so it counts.
  if (n + 1 == recordLength_ && std::feof(file_)) {
    record_[n] = 0;
    return true;
  }
  return false;
}

bool DbaseTable::FirstRecord() {
  std::clearerr(file_);
  if (std::fseek(file_, dataStart_, SEEK_SET) != 0) return false;
  return ReadRecord();
}

bool DbaseTable::NextRecord() {
  if (std::feof(file_) || std::ferror(file_)) return false;
  return ReadRecord();
}

const DbaseTable::Field* DbaseTable::FindField(std::string_view name) const {
  for (const Field& f : fields_) {
    if (EqualsIgnoringCase(f.name, name)) return &f;
  }
  return nullptr;
}

bool DbaseTable::GetField(std::string_view name, std::string& dest, std::size_t limit) const {
  const Field* field = FindField(name);
  if (field == nullptr) return false;
  const std::size_t n = std::min(field->length, limit);
  const char* start = reinterpret_cast<const char*>(record_.data() + field->offset);
  std::size_t len = 0;
  while (len < n && start[len] != '\0') ++len;
  while (len > 0 && start[len - 1] == ' ') --len;
  dest.assign(start, len);
  return true;
}

bool DbaseTable::Find(std::string_view wanted, std::string_view field) {
  if (FindField(field) == nullptr) return false;
  std::string value;
  for (bool ok = FirstRecord(); ok; ok = NextRecord()) {
    GetField(field, value, 256);
    if (value == wanted) return true;
  }
  return false;
}

}  // namespace sondesk
