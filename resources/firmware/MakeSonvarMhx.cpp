// Makes SONVAR.MHX, the firmware file shipped for the virtual player: a program of our own (a
// banner and pseudo-random bytes that exercise every byte value) laid out over the program
// memory's blocks 0, 1, 2 and 4, as the firmware file format wants it: the version line, the
// count and sum of what follows, an S0 header carrying the version text, S2 data records of 32
// bytes and the S8 end record, every line ended by CR LF.
//
//   sonvar_mhx_gen OUT [--version TEXT]

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/AtomicFile.h"
#include "app/SRecord.h"

namespace {

struct Region {
  std::uint32_t address;
  std::uint32_t bytes;
};
// Nothing in block 3: that is where the loader lives.
constexpr Region kRegions[] = {{0x000000, 8192}, {0x010000, 4096}, {0x020100, 2048}, {0x040000, 2048}};
constexpr std::size_t kRecordBytes = 32;
constexpr const char* kBanner = "SONVAR virtual player program, made by SonDesk for its own loader. ";

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  std::string version = "SonDesk VP 1.00 08/12/2026";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0 && i + 1 < argc) {
      version = argv[++i];
    } else if (out.empty()) {
      out = argv[i];
    } else {
      std::fprintf(stderr, "usage: sonvar_mhx_gen OUT [--version TEXT]\n");
      return 2;
    }
  }
  // The header record must stay within the loader's line of 78 characters.
  if (out.empty() || version.empty() || version.size() > 34) {
    std::fprintf(stderr, "usage: sonvar_mhx_gen OUT [--version TEXT of 1 to 34 characters]\n");
    return 2;
  }

  std::string body;
  body += sondesk::FormatSRecord('0', 0, std::span(reinterpret_cast<const std::uint8_t*>(version.data()),
                                                   version.size())) + "\r\n";
  std::uint32_t state = 0x534F4E56;  // xorshift32
  const std::size_t bannerLength = std::strlen(kBanner);
  std::size_t produced = 0;
  for (const Region& r : kRegions) {
    std::vector<std::uint8_t> data(r.bytes);
    for (std::uint8_t& b : data) {
      if (produced < bannerLength) {
        b = static_cast<std::uint8_t>(kBanner[produced]);
      } else {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state);
      }
      ++produced;
    }
    for (std::size_t at = 0; at < data.size(); at += kRecordBytes) {
      const std::size_t n = std::min(kRecordBytes, data.size() - at);
      body += sondesk::FormatSRecord('2', r.address + static_cast<std::uint32_t>(at),
                                     std::span(data.data() + at, n)) + "\r\n";
    }
  }
  body += sondesk::FormatSRecord('8', 0, {}) + "\r\n";

  std::uint64_t sum = 0;
  for (unsigned char c : body) sum += c;
  const std::string file = version + "\r\n" + std::to_string(body.size()) + " " + std::to_string(sum) + "\r\n" + body;
  if (!sondesk::WriteFileAtomically(out, file)) {
    std::fprintf(stderr, "sonvar_mhx_gen: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
