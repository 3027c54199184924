#pragma once
// A small read-only reader of dBASE III tables, enough for the song catalogue MIDI.DBF.
//
// The reader walks the records one after the other from the data start. Deletion flags are not
// looked at: the maker's catalogue marks no records deleted, and a record that a dBASE program did
// mark is still a song of the catalogue.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sondesk {

class DbaseTable {
 public:
  // dBASE III allows 128 fields and 4,000-byte records; dBASE IV and FoxPro tables go further.
  // These bounds keep a damaged descriptor list from being read as thousands of fields.
  static constexpr std::size_t kMaxFields = 255;
  static constexpr std::size_t kMaxRecordLength = 65535;

  struct Field {
    std::string name;  // at most 11 characters
    char type = 'C';
    std::size_t offset = 0;  // within a record as read (the record's own deletion flag is not in it)
    std::size_t length = 0;
  };

  // Opens the table ("rb"), reads its descriptors and stands at the data start. nullptr when the
  // file cannot be opened or its descriptor list is truncated or beyond the bounds above.
  static std::unique_ptr<DbaseTable> Open(const std::string& path);
  // The same over an open stream, which the table then owns and closes.
  static std::unique_ptr<DbaseTable> FromStream(std::FILE* stream);

  ~DbaseTable();
  DbaseTable(const DbaseTable&) = delete;
  DbaseTable& operator=(const DbaseTable&) = delete;

  // Goes to the first record and reads it; true when a whole record was read.
  bool FirstRecord();
  // Reads the record after the current one; true when a whole record was read.
  bool NextRecord();

  // The value of the first field named `name` (letters in any case) in the current record: at most
  // `limit` bytes, up to the first NUL, without trailing blanks. False, and `dest` untouched, when
  // there is no such field.
  bool GetField(std::string_view name, std::string& dest, std::size_t limit = 256) const;

  // Goes to the first record whose `field` value (read with a limit of 256) equals `wanted` exactly,
  // case-sensitively; that record stays current. False when none does.
  bool Find(std::string_view wanted, std::string_view field);

  const std::vector<Field>& fields() const { return fields_; }
  std::size_t recordLength() const { return recordLength_; }  // the fields plus one flag byte
  std::size_t recordCount() const { return recordCount_; }
  long dataStart() const { return dataStart_; }

 private:
  explicit DbaseTable(std::FILE* stream) : file_(stream) {}
  bool ReadDescriptors();
  bool ReadRecord();
  const Field* FindField(std::string_view name) const;

  std::FILE* file_;
  std::uint8_t header_[32] = {};
  std::vector<Field> fields_;
  std::size_t recordLength_ = 0;
  long dataStart_ = 0;
  long recordPosition_ = 0;
  std::size_t recordCount_ = 0;
  std::vector<std::uint8_t> record_;
};

}  // namespace sondesk
