#include "setup/Szdd.h"

#include <mspack.h>

#include <array>

namespace sondesk {
namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kStart = kWindow - 16;  // where the expander starts writing its window
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kHashSize = 1 << 14;

std::size_t Hash3(const std::uint8_t* p) {
  return ((p[0] << 8) ^ (p[1] << 4) ^ p[2]) & (kHashSize - 1);
}

}  // namespace

std::vector<std::uint8_t> SzddCompress(std::span<const std::uint8_t> data, char missingChar) {
  std::vector<std::uint8_t> out = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A',
                                   static_cast<std::uint8_t>(missingChar)};
  const std::uint32_t size = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));

  // Hash chains over the data seen so far. Matches reach back at most kWindow - kMaxMatch bytes,
  // so a copy never reads a window byte that the same copy has already overwritten.
  std::vector<std::int64_t> head(kHashSize, -1);
  std::vector<std::int64_t> prev(data.size(), -1);
  auto insert = [&](std::size_t i) {
    if (i + kMinMatch > data.size()) return;
    const std::size_t h = Hash3(&data[i]);
    prev[i] = head[h];
    head[h] = static_cast<std::int64_t>(i);
  };

  std::size_t i = 0;
  while (i < data.size()) {
    const std::size_t flagAt = out.size();
    out.push_back(0);
    for (int bit = 0; bit < 8 && i < data.size(); ++bit) {
      std::size_t bestLen = 0, bestPos = 0;
      if (i + kMinMatch <= data.size()) {
        const std::size_t maxLen = std::min(kMaxMatch, data.size() - i);
        int chain = 256;
        for (std::int64_t c = head[Hash3(&data[i])]; c >= 0 && chain-- > 0; c = prev[c]) {
          const std::size_t cand = static_cast<std::size_t>(c);
          if (i - cand > kWindow - kMaxMatch) break;
          std::size_t len = 0;
          while (len < maxLen && data[cand + len] == data[i + len]) ++len;
          if (len > bestLen) {
            bestLen = len;
            bestPos = cand;
            if (len == maxLen) break;
          }
        }
      }
      if (bestLen >= kMinMatch) {
        const std::size_t windowPos = (kStart + bestPos) % kWindow;
        out.push_back(static_cast<std::uint8_t>(windowPos & 0xFF));
        out.push_back(static_cast<std::uint8_t>(((windowPos >> 4) & 0xF0) | (bestLen - kMinMatch)));
        for (std::size_t k = 0; k < bestLen; ++k) insert(i + k);
        i += bestLen;
      } else {
        out[flagAt] |= static_cast<std::uint8_t>(1u << bit);  // a set bit is a literal byte
        out.push_back(data[i]);
        insert(i);
        ++i;
      }
    }
  }
  return out;
}

std::string SzddName(const std::string& name) {
  if (name.empty()) return name;
  std::string s = name;
  s.back() = '_';
  return s;
}

SzddResult ExpandSzdd(const std::string& source, const std::string& target) {
  msszdd_decompressor* szdd = mspack_create_szdd_decompressor(nullptr);
  if (!szdd) return SzddResult::ReadError;
  SzddResult result = SzddResult::Ok;
  msszddd_header* header = szdd->open(szdd, const_cast<char*>(source.c_str()));
  if (!header) {
    result = SzddResult::ReadError;
  } else {
    const int err = szdd->extract(szdd, header, const_cast<char*>(target.c_str()));
    if (err == MSPACK_ERR_OPEN || err == MSPACK_ERR_WRITE) {
      result = SzddResult::WriteError;
    } else if (err != MSPACK_ERR_OK) {
      result = SzddResult::ReadError;
    }
    szdd->close(szdd, header);
  }
  mspack_destroy_szdd_decompressor(szdd);
  return result;
}

}  // namespace sondesk
