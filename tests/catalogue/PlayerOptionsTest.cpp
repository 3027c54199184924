#include <gtest/gtest.h>

#include "catalogue/PlayerOptions.h"
#include "catalogue/SetupFile.h"
#include "tests/catalogue/CatalogueFixture.h"

namespace sondesk::test {
namespace {

class PlayerOptionsTest : public CatalogueTest {
 protected:
  std::string Shown(const std::string& label, bool roll = false) {
    for (const PlayerSetting& s : PlayerSettings()) {
      if (session->messages()[s.labelMessage] == label)
        return PlayerOptionText(cat->options, s, session->messages(), roll);
    }
    return "?";
  }
  bool Set(const std::string& label, const std::string& value, bool roll = false) {
    std::string error;
    return SetPlayerOption(cat->options, session->messages(), roll, label, value, error);
  }
};

TEST_F(PlayerOptionsTest, TheDefaultFileShowsAndIsWrittenBackWhole) {
  WriteFile(CardPath(kRootFolder, "SETUP.DAT"), DefaultSetupFile());
  ASSERT_EQ(ReadPlayerOptions(*cat), 1);
  EXPECT_EQ(Shown("Pedal Mode"), "DISABLED");
  EXPECT_EQ(Shown("Melody Track"), "4");
  EXPECT_EQ(Shown("Playlist Mode"), "AUTOMATIC");
  EXPECT_EQ(Shown("Chords Mode"), "INTERNATIONAL");
  EXPECT_EQ(Shown("Color Setup"), "SETUP2");
  EXPECT_EQ(Shown("Video Mode"), "KARAOKE");
  EXPECT_EQ(Shown("Video Mixer"), "MIX MODE");
  EXPECT_EQ(Shown("Fast Run"), "ENABLED");
  EXPECT_EQ(Shown("Echo"), "LONG");
  EXPECT_EQ(Shown("Equalization"), "FLAT");
  EXPECT_EQ(Shown("Text Justification"), "LEFT");
  ASSERT_EQ(WritePlayerOptions(*cat), 1);
  const auto written = CardBytes("SETUP.DAT");
  ASSERT_EQ(written.size(), 140u);
  EXPECT_EQ(std::vector<std::uint8_t>(written.begin(), written.begin() + 12),
            (std::vector<std::uint8_t>{0, 3, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0}));
}

TEST_F(PlayerOptionsTest, ChangesTouchOnlyTheirBytes) {
  std::vector<std::uint8_t> file(140);
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i < 12 ? 0 : i);
  file[7] = 0x5A;
  WriteFile(CardPath(kRootFolder, "SETUP.DAT"), file);
  ASSERT_EQ(ReadPlayerOptions(*cat), 1);
  EXPECT_TRUE(Set("echo", "short"));
  EXPECT_TRUE(Set("Equalization", "ROCK"));
  EXPECT_FALSE(Set("Video Mode", "ROLLING"));
  EXPECT_FALSE(Set("Tempo", "FAST"));
  EXPECT_TRUE(Set("Video Mode", "ROLLING", true));
  ASSERT_EQ(WritePlayerOptions(*cat), 1);
  auto expected = file;
  expected[9] = 2;
  expected[10] = 3;
  expected[5] = 2;
  EXPECT_EQ(CardBytes("SETUP.DAT"), expected);
  // A value outside the list shows nothing.
  EXPECT_EQ(Shown("Video Mode"), "");
  EXPECT_EQ(Shown("Video Mode", true), "ROLLING");

  // No SETUP.DAT: nothing is read and the record keeps what it held.
  std::remove(CardPath(kRootFolder, "SETUP.DAT").c_str());
  EXPECT_EQ(ReadPlayerOptions(*cat), 0);
  EXPECT_EQ(cat->options.bytes[7], 0x5A);
}

}  // namespace
}  // namespace sondesk::test
