#include "tools/Summidi.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>

#include "app/AtomicFile.h"
#include "app/Paths.h"

namespace sondesk {
namespace {

constexpr std::uint8_t kEndOfDescriptors = 0x0D;
constexpr std::uint8_t kEndOfFile = 0x1A;
constexpr std::size_t kMaxFields = 255;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

struct Field {
  std::string name;
  std::size_t offset;  // within the record, after its deletion flag
  std::size_t length;
};

std::string Trimmed(const std::uint8_t* p, std::size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  const std::size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::set<std::string> SongsIn(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return std::toupper(c); });
      names.insert(n);
    }
    ::closedir(d);
  }
  return names;
}

}  // namespace

SummidiReport CheckSongCatalogue(const std::string& path, const SummidiOptions& options) {
  SummidiReport r;
  std::vector<std::uint8_t> b;
  auto note = [&r](const std::string& text, bool fixable) {
    r.findings.push_back((fixable ? "repairable: " : "left as is: ") + text);
    (fixable ? r.repaired : r.remaining)++;
  };
  if (!ReadWholeFile(path, b)) {
    r.unreadable = true;
    r.findings.push_back("cannot read " + path);
    return r;
  }
  if (b.size() < 33) {
    r.unreadable = true;
    r.findings.push_back("too short for a dBASE table: " + std::to_string(b.size()) + " bytes");
    return r;
  }
  // The descriptor list ends with 0x0D; everything the reader needs hangs on it.
  std::vector<Field> fields;
  std::size_t at = 32, recordBody = 0;
  while (at < b.size() && b[at] != kEndOfDescriptors) {
    if (at + 32 > b.size() || fields.size() == kMaxFields) {
      r.unreadable = true;
      r.findings.push_back("the field descriptors have no end mark (0x0D)");
      return r;
    }
    fields.push_back({Trimmed(&b[at], 11), recordBody, b[at + 16]});
    recordBody += b[at + 16];
    at += 32;
  }
  if (at >= b.size() || fields.empty()) {
    r.unreadable = true;
    r.findings.push_back(fields.empty() ? "the table has no fields" : "the field descriptors have no end mark (0x0D)");
    return r;
  }
  if (recordBody == 0) {
    r.unreadable = true;
    r.findings.push_back("the fields hold no bytes");
    return r;
  }
  const std::uint8_t version = b[0];
  if ((version & 0x07) != 0x03) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", version);
    note(std::string("version byte ") + hex + " is not dBASE III's", false);
  }
  // Some writers put one 0x00 after the end mark; the records start after it.
  std::size_t dataStart = at + 1;
  if (dataStart < b.size() && b[dataStart] == 0x00) ++dataStart;
  const std::size_t recordLength = recordBody + 1;
  bool rewrite = false;

  if (Le16(b, 8) != dataStart) {
    note("header length says " + std::to_string(Le16(b, 8)) + ", the descriptors end at " + std::to_string(dataStart),
         options.repair);
    if (options.repair) Put16(b, 8, static_cast<std::uint16_t>(dataStart)), rewrite = true;
  }
  if (Le16(b, 10) != recordLength) {
    note("record length says " + std::to_string(Le16(b, 10)) + ", the fields add up to " +
             std::to_string(recordLength),
         options.repair);
    if (options.repair) Put16(b, 10, static_cast<std::uint16_t>(recordLength)), rewrite = true;
  }

  std::size_t body = b.size() - dataStart;
  const bool endMark = body > 0 && b.back() == kEndOfFile && body % recordLength == 1;
  if (endMark) --body;
  const std::size_t whole = body / recordLength;
  const std::size_t partial = body % recordLength;
  if (partial != 0) {
    note("the last record is cut off after " + std::to_string(partial) + " of " + std::to_string(recordLength) +
             " bytes",
         options.repair);
    if (options.repair) {
      b.resize(dataStart + whole * recordLength);
      rewrite = true;
    }
  }
  if (Le32(b, 4) != whole) {
    note("record count says " + std::to_string(Le32(b, 4)) + ", the file holds " + std::to_string(whole),
         options.repair);
    if (options.repair) Put32(b, 4, static_cast<std::uint32_t>(whole)), rewrite = true;
  }
  if (!endMark && (partial == 0 || options.repair)) {
    note("the end mark (0x1A) after the last record is missing", options.repair);
    if (options.repair) {
      if (b.size() > dataStart + whole * recordLength) b.resize(dataStart + whole * recordLength);
      b.push_back(kEndOfFile);
      rewrite = true;
    }
  }
  r.records = whole;

  // The songs the records name: the code is the key the manager looks songs up by.
  const auto code = std::find_if(fields.begin(), fields.end(),
                                 [](const Field& f) { return ::strcasecmp(f.name.c_str(), "CODICE") == 0; });
  if (code == fields.end()) {
    note("no CODICE field: the records name no songs", false);
  } else {
    const std::set<std::string> songs = options.songsDir.empty() ? std::set<std::string>() : SongsIn(options.songsDir);
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < whole; ++i) {
      const std::size_t rec = dataStart + i * recordLength;
      if (b[rec] == '*') continue;  // deleted by a dBASE program
      std::uint8_t* field = &b[rec + 1 + code->offset];
      const std::string value = Trimmed(field, code->length);
      const std::string label = "record " + std::to_string(i + 1);
      if (value.empty()) {
        note(label + " names no song", false);
        continue;
      }
      std::string upper = value;
      std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
      if (upper != value) {
        note(label + ": code \"" + value + "\" is not in upper case", options.repair);
        if (options.repair) {
          std::copy(upper.begin(), upper.end(), field);
          rewrite = true;
        }
      }
      if (upper.size() < 5 || upper.compare(upper.size() - 4, 4, ".MID") != 0) {
        note(label + ": code \"" + value + "\" does not end in .MID", false);
      }
      if (auto [it, added] = seen.emplace(upper, i + 1); !added) {
        note(label + ": code \"" + upper + "\" repeats record " + std::to_string(it->second), false);
      }
      if (!options.songsDir.empty() && upper.size() > 4) {
        const std::string stem = upper.substr(0, upper.size() - 4);
        if (!songs.count(stem + ".MID") && !songs.count(stem + ".KAR")) {
          note(label + ": song " + upper + " is not in " + options.songsDir, false);
        }
      }
    }
  }

  if (rewrite) {
    std::vector<std::uint8_t> old;
    r.backupPath = path + ".bak";
    if (!ReadWholeFile(path, old) || !WriteFileAtomically(r.backupPath, old) || !WriteFileAtomically(path, b)) {
      r.findings.push_back("cannot write the repaired file; nothing was changed");
      r.remaining += r.repaired;
      r.repaired = 0;
      r.backupPath.clear();
    }
  }
  return r;
}

}  // namespace sondesk
