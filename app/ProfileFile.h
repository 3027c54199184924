#pragma once
// Profile files ("INI" files) with the semantics the settings have always had on Windows:
// sections and keys are matched without regard to case, integers are read from their leading
// sign and digits, binary structures are stored as hex bytes followed by a checksum byte, and
// writing one key keeps every other line of the file as it was.
//
// Each call reads the file anew (and a write replaces it atomically: a temporary file in the same
// folder, then a rename), so two programs sharing a settings file see each other's changes and a
// crash never leaves half a file behind.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sondesk {

// One line of a profile file with its end kept, so an untouched line is written back byte for byte.
struct ProfileLine {
  std::string text;  // without the line end
  std::string end;   // "\r\n", "\n" or "" for a last line without one
};

// The file as it was when it was read, for a reader of many keys at once (the settings at start):
// one read instead of one per key. Lookups follow the same rules as the functions below.
class ProfileSnapshot {
 public:
  explicit ProfileSnapshot(const std::string& path);
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        std::size_t maxLen = 256) const;
  int GetInt(std::string_view section, std::string_view key, int fallback) const;
  std::optional<std::vector<std::uint8_t>> GetStruct(std::string_view section, std::string_view key,
                                                      std::size_t size) const;

 private:
  std::vector<ProfileLine> lines_;
};

// The value of `key` in `section`, or `fallback` when either is absent. Values are trimmed of
// blanks, and one pair of enclosing double quotes is removed. The result is cut to maxLen - 1
// characters, as a fixed buffer of maxLen would hold it.
std::string GetPrivateProfileString(const std::string& path, std::string_view section, std::string_view key,
                                    std::string_view fallback, std::size_t maxLen = 256);

// Leading blanks, an optional sign and the decimal digits that follow; "12abc" is 12, "abc" is 0.
// An absent key, or one with an empty value, gives `fallback`.
int GetPrivateProfileInt(const std::string& path, std::string_view section, std::string_view key, int fallback);

// The bytes of a structure written by WritePrivateProfileStruct, or nullopt when the key is absent,
// its length is not 2 * size + 2 hex digits, it holds a non-hex character or the checksum differs.
std::optional<std::vector<std::uint8_t>> GetPrivateProfileStruct(const std::string& path, std::string_view section,
                                                                 std::string_view key, std::size_t size);

// Sets `key` in `section` (created at the end of the file when missing; the file is created when
// missing). A nullopt value removes the key. Returns false when the file cannot be written.
bool WritePrivateProfileString(const std::string& path, std::string_view section, std::string_view key,
                               const std::optional<std::string>& value);

// "%d" text of `value`.
bool WriteProfileInt(const std::string& path, std::string_view section, std::string_view key, int value);

// Uppercase hex of every byte, then the checksum byte: the sum of the bytes modulo 256.
bool WritePrivateProfileStruct(const std::string& path, std::string_view section, std::string_view key,
                               const std::vector<std::uint8_t>& bytes);

// Every section with its keys and values, in file order (for listings).
struct ProfileEntry {
  std::string section;
  std::string key;
  std::string value;
};
std::vector<ProfileEntry> ReadProfileEntries(const std::string& path);

// Why the profile file cannot be used (not a regular file, far too large), or empty when it can or
// does not exist yet. Reads then give every key's default and writes refuse.
std::string ProfileFileProblem(const std::string& path);

// Encoding of a structure value, exposed for tests and for the struct writers of other files.
std::string EncodeProfileStruct(const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> DecodeProfileStruct(std::string_view text, std::size_t size);

}  // namespace sondesk
