#include "tests/support/CodecSamples.h"

#include <algorithm>
#include <filesystem>
#include <random>

namespace sondesk::test {

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutVlq(Bytes& b, std::uint32_t v) {
  std::uint8_t tmp[5];
  int n = 0;
  tmp[n++] = v & 0x7F;
  while (v >>= 7) tmp[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
  while (n) b.push_back(tmp[--n]);
}

std::uint8_t U8(unsigned v) { return static_cast<std::uint8_t>(v); }

void AppendText(Bytes& b, std::mt19937& rng, std::size_t words) {
  static const char* const kVocab[] = {"the",  "song", "of",    "night", "and", "light", "volare", "cantare",
                                       "love", "you",  "heart", "sea",   "oh",  "la",    "my",     "blue"};
  for (std::size_t i = 0; i < words; ++i) {
    const std::string w = kVocab[rng() % 16];
    b.insert(b.end(), w.begin(), w.end());
    if (rng() % 12 == 0) {
      b.push_back('\r');
      b.push_back('\n');
    } else {
      b.push_back(' ');
    }
  }
}

void AppendRandom(Bytes& b, std::mt19937& rng, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) b.push_back(U8(rng()));
}

void AppendRuns(Bytes& b, std::mt19937& rng, int runs) {
  for (int i = 0; i < runs; ++i) b.insert(b.end(), 20 + rng() % 300, U8(rng() % 8));
}

// Records of 4 bytes as binary tables hold them: a counter, its high byte, a scattered small value
// and a zero; the counter makes near matches everywhere and long ones nowhere.
void AppendTable(Bytes& b, std::uint32_t first, std::uint32_t count) {
  for (std::uint32_t i = first; i < first + count; ++i) {
    const std::uint32_t v = i * 2654435761u;
    b.insert(b.end(), {U8(i), U8(i >> 8), U8(v >> 28), 0});
  }
}

Bytes Fill(std::size_t size, unsigned seed, void (*append)(Bytes&, std::mt19937&, unsigned)) {
  std::mt19937 rng(seed);
  Bytes b;
  unsigned block = 0;
  while (b.size() < size) append(b, rng, block++);
  b.resize(size);
  return b;
}

}  // namespace

Bytes SyntheticPayload(unsigned seed, int bars, int channels) {
  std::mt19937 rng(seed);
  Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
  const char* words[] = {"a", "mo", "re", "cuo", "re", "mi", "o", "la", "not", "te", "bel", "la", "ve", "ra"};
  for (int c = 0; c < channels; ++c) {
    b.insert(b.end(), {0, U8(0xC0 | c), U8(rng() % 128), 0, U8(0xB0 | c), 7, 100});
  }
  std::vector<int> pattern(16);
  for (int& p : pattern) p = 48 + static_cast<int>(rng() % 24);
  for (int bar = 0; bar < bars; ++bar) {
    if (bar > 0) b.insert(b.end(), {0x00, 0xA9, U8((bar - 1) & 0xFF), U8((bar - 1) >> 8)});
    if (bar % 2 == 0) {  // a lyric page line
      std::string line;
      for (int w = 0; w < 5; ++w) line += words[rng() % 14];
      b.insert(b.end(), {0x00, 0xF0, U8(line.size() + 6), 0x00, 0x20, 0x24, 0x00, U8(0x04 + bar % 4)});
      b.insert(b.end(), line.begin(), line.end());
      b.push_back(0xF7);
    }
    for (int beat = 0; beat < 4; ++beat) {
      if (beat > 0) b.insert(b.end(), {0x00, 0xA8, U8(beat), 0x00});
      b.insert(b.end(), {0x00, 0xFF, 0x05, 0x02});
      const char* w = words[rng() % 14];
      b.push_back(U8(w[0]));
      b.push_back(U8(w[1] ? w[1] : ' '));
      for (int c = 0; c < channels; ++c) {
        const int key = pattern[(bar * 4 + beat + c) % 16] + (c == 9 ? 0 : static_cast<int>(rng() % 3));
        b.insert(b.end(), {0x00, U8(0x90 | c), U8(key), U8(80 + rng() % 30)});
      }
      PutVlq(b, 120 + rng() % 4);
      for (int c = 0; c < channels; ++c) {
        b.insert(b.end(), {U8(0x80 | c), U8(pattern[(bar * 4 + beat + c) % 16])});
        b.push_back(0x00);
      }
      b.pop_back();
      PutVlq(b, 360);
    }
  }
  b.insert(b.end(), {0x00, 0xFF, 0x2F, 0x00});
  const auto len = static_cast<std::uint32_t>(b.size() - 22);
  b[18] = U8(len >> 24);
  b[19] = U8(len >> 16);
  b[20] = U8(len >> 8);
  b[21] = U8(len);
  return b;
}

std::vector<CodecSample> GeneratedCodecSamples() {
  constexpr std::size_t kMiB = 1024 * 1024;
  std::vector<CodecSample> v;
  v.push_back({"mixed_5MB", Fill(5 * kMiB, 2024, [](Bytes& b, std::mt19937& rng, unsigned block) {
                 switch (block % 5) {
                   case 0: {
                     const Bytes m = SyntheticPayload(block + 1, 60, 6);
                     b.insert(b.end(), m.begin(), m.end());
                     break;
                   }
                   case 1:
                     AppendText(b, rng, 8000);
                     break;
                   case 2:
                     AppendRandom(b, rng, 30000);
                     break;
                   case 3:
                     AppendRuns(b, rng, 200);
                     break;
                   default:
                     AppendTable(b, 0, 12000);
                     break;
                 }
               })});
  v.push_back({"midi_1MiB", Fill(kMiB, 7, [](Bytes& b, std::mt19937& rng, unsigned) {
                 const Bytes m = SyntheticPayload(static_cast<unsigned>(rng()), 120, 4 + static_cast<int>(rng() % 9));
                 b.insert(b.end(), m.begin(), m.end());
               })});
  v.push_back({"text_1MiB", Fill(kMiB, 8, [](Bytes& b, std::mt19937& rng, unsigned) { AppendText(b, rng, 1000); })});
  v.push_back(
      {"random_1MiB", Fill(kMiB, 9, [](Bytes& b, std::mt19937& rng, unsigned) { AppendRandom(b, rng, 4096); })});
  v.push_back({"runs_1MiB", Fill(kMiB, 10, [](Bytes& b, std::mt19937& rng, unsigned) { AppendRuns(b, rng, 100); })});
  v.push_back({"table_1MiB", Fill(kMiB, 11, [](Bytes& b, std::mt19937&, unsigned block) {
                 AppendTable(b, block * 4096, 4096);
               })});
  return v;
}

std::vector<std::string> CorpusSongFiles(const std::string& sourceDir) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  for (const std::string& root : {sourceDir + "/../shared/corpus", sourceDir + "/tests/data/midi"}) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) continue;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (!it->is_regular_file(ec)) continue;
      std::string ext = it->path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
      const std::string name = it->path().filename().string();
      if ((ext == ".mid" || ext == ".kar") && name.rfind("bad_", 0) != 0) files.push_back(it->path().string());
    }
    if (!files.empty()) break;
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace sondesk::test
