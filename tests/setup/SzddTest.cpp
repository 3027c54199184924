// Our compressor against libmspack's expander: whatever we pack must come back byte for byte.
#include <gtest/gtest.h>

#include <random>

#include "app/AtomicFile.h"
#include "setup/Szdd.h"
#include "tests/support/TempDir.h"

namespace sondesk::test {
namespace {

std::vector<std::uint8_t> RoundTrip(const std::vector<std::uint8_t>& data, TempDir& dir) {
  const std::vector<std::uint8_t> packed = SzddCompress(data, 'F');
  WriteFile(dir / "X.DB_", packed);
  EXPECT_EQ(ExpandSzdd(dir / "X.DB_", dir / "X.DBF"), SzddResult::Ok);
  return ReadBytes(dir / "X.DBF");
}

TEST(Szdd, HeaderNamesTheMissingLetterAndTheLength) {
  const std::vector<std::uint8_t> data(1000, 'a');
  const std::vector<std::uint8_t> packed = SzddCompress(data, 'F');
  ASSERT_GE(packed.size(), 14u);
  EXPECT_EQ(std::string(packed.begin(), packed.begin() + 4), "SZDD");
  EXPECT_EQ(packed[8], 'A');
  EXPECT_EQ(packed[9], 'F');
  EXPECT_EQ(packed[10] | (packed[11] << 8), 1000);
  EXPECT_LT(packed.size(), 200u) << "a run of one letter must compress";
  EXPECT_EQ(SzddName("MIDI.DBF"), "MIDI.DB_");
}

TEST(Szdd, ExpandsBackUnderLibmspackForAllShapesOfInput) {
  TempDir dir;
  std::mt19937 rng(7);
  std::vector<std::vector<std::uint8_t>> inputs;
  inputs.push_back({});
  inputs.push_back({'x'});
  inputs.push_back(std::vector<std::uint8_t>(5000, ' '));  // the window's own fill byte
  std::vector<std::uint8_t> random(20000);
  for (auto& b : random) b = static_cast<std::uint8_t>(rng());
  inputs.push_back(random);
  // Repeats at distances around the window size, where a wrong position shows first.
  std::vector<std::uint8_t> far;
  for (int block = 0; block < 6; ++block) {
    std::vector<std::uint8_t> chunk(4090 + block);
    for (auto& b : chunk) b = static_cast<std::uint8_t>(rng() % 7);
    far.insert(far.end(), chunk.begin(), chunk.end());
    far.insert(far.end(), chunk.begin(), chunk.begin() + 100);
  }
  inputs.push_back(far);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(RoundTrip(inputs[i], dir), inputs[i]) << "input " << i;
  }
}

TEST(Szdd, TheShippedCatalogueShrinksAndComesBack) {
  TempDir dir;
  std::vector<std::uint8_t> dbf;
  ASSERT_TRUE(ReadWholeFile(std::string(SONDESK_PROGRAM_DIR) + "/MIDI.DBF", dbf));
  EXPECT_LT(SzddCompress(dbf, 'F').size(), dbf.size() / 2);
  EXPECT_EQ(RoundTrip(dbf, dir), dbf);
}

TEST(Szdd, ExpansionFailuresAreToldApart) {
  TempDir dir;
  EXPECT_EQ(ExpandSzdd(dir / "missing.DB_", dir / "out"), SzddResult::ReadError);
  WriteFile(dir / "plain.DB_", std::string("not compressed at all"));
  EXPECT_EQ(ExpandSzdd(dir / "plain.DB_", dir / "out"), SzddResult::ReadError);
  WriteFile(dir / "good.DB_", SzddCompress(std::vector<std::uint8_t>(10, 1), 'F'));
  EXPECT_EQ(ExpandSzdd(dir / "good.DB_", dir / "no/such/folder/out"), SzddResult::WriteError);
}

}  // namespace
}  // namespace sondesk::test
