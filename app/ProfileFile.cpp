#include "app/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/AtomicFile.h"

namespace sondesk {

namespace {

std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

using Line = ProfileLine;

// A settings file is a few kilobytes; anything far larger is not one.
constexpr std::size_t kProfileCap = 1u << 20;

// The file's lines; `readable` is false when the file exists but cannot serve as a profile (not a
// regular file, too large, unreadable), so a writer leaves it alone instead of replacing it.
std::vector<Line> ReadLines(const std::string& path, bool* readable = nullptr) {
  std::vector<Line> lines;
  if (readable != nullptr) *readable = RegularFileProblem(path, kProfileCap).empty();
  std::string data;
  if (!ReadWholeFile(path, data, kProfileCap)) return lines;
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t nl = data.find('\n', pos);
    Line line;
    if (nl == std::string::npos) {
      line.text = data.substr(pos);
      pos = data.size();
    } else {
      std::size_t textEnd = nl;
      if (textEnd > pos && data[textEnd - 1] == '\r') --textEnd;
      line.text = data.substr(pos, textEnd - pos);
      line.end = data.substr(textEnd, nl + 1 - textEnd);
      pos = nl + 1;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// "[name]" gives name; anything else gives nullopt.
std::optional<std::string_view> SectionName(std::string_view text) {
  const std::string_view t = Trim(text);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const std::size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

bool IsComment(std::string_view text) {
  const std::string_view t = Trim(text);
  return t.empty() || t.front() == ';';
}

// For a "key=value" line: the key and value, both trimmed.
bool SplitKey(std::string_view text, std::string_view& key, std::string_view& value) {
  if (IsComment(text)) return false;
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(text.substr(0, eq));
  value = Trim(text.substr(eq + 1));
  return !key.empty();
}

std::optional<std::string> FindValue(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const Line& line : lines) {
    if (auto name = SectionName(line.text)) {
      inSection = EqualsNoCase(*name, Trim(section));
      continue;
    }
    if (!inSection) continue;
    std::string_view k, v;
    if (SplitKey(line.text, k, v) && EqualsNoCase(k, Trim(key))) return std::string(v);
  }
  return std::nullopt;
}

std::string Unquote(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

ProfileSnapshot::ProfileSnapshot(const std::string& path) : lines_(ReadLines(path)) {}

std::string ProfileSnapshot::GetString(std::string_view section, std::string_view key, std::string_view fallback,
                                       std::size_t maxLen) const {
  std::string value = std::string(fallback);
  if (auto found = FindValue(lines_, section, key)) value = Unquote(*found);
  if (maxLen > 0 && value.size() > maxLen - 1) value.resize(maxLen - 1);
  return value;
}

int ProfileSnapshot::GetInt(std::string_view section, std::string_view key, int fallback) const {
  auto found = FindValue(lines_, section, key);
  if (!found || found->empty()) return fallback;
  const std::string& s = *found;
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 0xFFFFFFFFLL) v = 0xFFFFFFFFLL;  // saturate like a 32-bit accumulator would not overflow into UB
  }
  if (negative) v = -v;
  return static_cast<int>(static_cast<std::uint32_t>(v));
}

std::optional<std::vector<std::uint8_t>> ProfileSnapshot::GetStruct(std::string_view section, std::string_view key,
                                                                    std::size_t size) const {
  auto found = FindValue(lines_, section, key);
  if (!found) return std::nullopt;
  return DecodeProfileStruct(*found, size);
}

std::string GetPrivateProfileString(const std::string& path, std::string_view section, std::string_view key,
                                    std::string_view fallback, std::size_t maxLen) {
  return ProfileSnapshot(path).GetString(section, key, fallback, maxLen);
}

int GetPrivateProfileInt(const std::string& path, std::string_view section, std::string_view key, int fallback) {
  return ProfileSnapshot(path).GetInt(section, key, fallback);
}

std::string ProfileFileProblem(const std::string& path) { return RegularFileProblem(path, kProfileCap); }

std::string EncodeProfileStruct(const std::vector<std::uint8_t>& bytes) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2 + 2);
  unsigned sum = 0;
  for (std::uint8_t b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
    sum += b;
  }
  out.push_back(kHex[(sum >> 4) & 15]);
  out.push_back(kHex[sum & 15]);
  return out;
}

std::optional<std::vector<std::uint8_t>> DecodeProfileStruct(std::string_view text, std::size_t size) {
  if (text.size() != size * 2 + 2) return std::nullopt;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::vector<std::uint8_t> bytes(size);
  unsigned sum = 0;
  for (std::size_t i = 0; i <= size; ++i) {
    const int hi = nibble(text[2 * i]), lo = nibble(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    const auto b = static_cast<std::uint8_t>(hi * 16 + lo);
    if (i == size) {
      if (b != (sum & 0xFF)) return std::nullopt;
    } else {
      bytes[i] = b;
      sum += b;
    }
  }
  return bytes;
}

std::optional<std::vector<std::uint8_t>> GetPrivateProfileStruct(const std::string& path, std::string_view section,
                                                                 std::string_view key, std::size_t size) {
  return ProfileSnapshot(path).GetStruct(section, key, size);
}

bool WritePrivateProfileString(const std::string& path, std::string_view section, std::string_view key,
                               const std::optional<std::string>& value) {
  bool readable = true;
  std::vector<Line> lines = ReadLines(path, &readable);
  if (!readable) return false;
  // New lines take the file's own line end, so a file from Windows keeps its CR LF.
  std::string eol = "\n";
  for (const Line& l : lines) {
    if (!l.end.empty()) {
      eol = l.end;
      break;
    }
  }
  const std::string sec(Trim(section)), k(Trim(key));

  std::ptrdiff_t sectionLine = -1, lastKeyLine = -1, keyLine = -1;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto name = SectionName(lines[i].text)) {
      if (inSection) break;  // the section ended; a later section of the same name is not ours
      inSection = EqualsNoCase(*name, sec);
      if (inSection) sectionLine = lastKeyLine = static_cast<std::ptrdiff_t>(i);
      continue;
    }
    if (!inSection) continue;
    std::string_view kk, vv;
    if (SplitKey(lines[i].text, kk, vv)) {
      lastKeyLine = static_cast<std::ptrdiff_t>(i);
      if (EqualsNoCase(kk, k)) {
        keyLine = static_cast<std::ptrdiff_t>(i);
        break;
      }
    }
  }

  if (keyLine >= 0) {
    Line& line = lines[static_cast<std::size_t>(keyLine)];
    if (!value) {
      lines.erase(lines.begin() + keyLine);
    } else {
      // Keep the key as it was spelled in the file.
      const std::size_t eq = line.text.find('=');
      line.text = std::string(Trim(line.text.substr(0, eq))) + "=" + *value;
    }
  } else if (value) {
    Line newLine{k + "=" + *value, eol};
    if (sectionLine < 0) {
      if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
      lines.push_back(Line{"[" + sec + "]", eol});
      lines.push_back(newLine);
    } else {
      const auto at = static_cast<std::size_t>(lastKeyLine);
      if (lines[at].end.empty()) lines[at].end = eol;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at) + 1, newLine);
    }
  } else {
    return true;  // removing a key that is not there
  }

  std::string data;
  for (const Line& l : lines) data += l.text + l.end;
  return WriteFileAtomically(path, data);
}

bool WriteProfileInt(const std::string& path, std::string_view section, std::string_view key, int value) {
  return WritePrivateProfileString(path, section, key, std::to_string(value));
}

bool WritePrivateProfileStruct(const std::string& path, std::string_view section, std::string_view key,
                               const std::vector<std::uint8_t>& bytes) {
  return WritePrivateProfileString(path, section, key, EncodeProfileStruct(bytes));
}

std::vector<ProfileEntry> ReadProfileEntries(const std::string& path) {
  std::vector<ProfileEntry> entries;
  std::string current;
  for (const Line& line : ReadLines(path)) {
    if (auto name = SectionName(line.text)) {
      current = std::string(*name);
      continue;
    }
    std::string_view k, v;
    if (!current.empty() && SplitKey(line.text, k, v)) entries.push_back({current, std::string(k), std::string(v)});
  }
  return entries;
}

}  // namespace sondesk
