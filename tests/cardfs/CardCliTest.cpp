// sondesk-cli on a card image: card format, fs put/get/ls/rm/info, checked with the peers' tools.

#include <gtest/gtest.h>

#include "tests/cardfs/CardFsFixture.h"

namespace sondesk::test {
namespace {

class CardCliTest : public CardFsTest {
 protected:
  void SetUp() override {
    cli = std::string(SONDESK_BINARY_DIR) + "/cli/sondesk-cli";
    if (!IsFile(cli)) GTEST_SKIP() << "sondesk-cli not built";
    if (!HaveTool("mcopy") || !HaveTool("fsck.fat")) GTEST_SKIP() << "mtools or dosfstools missing";
    image = dir / "card.img";
    ASSERT_EQ(Shell("truncate -s 32M '" + image + "'"), 0);
  }
  int Cli(const std::string& args, std::string* out = nullptr) {
    return Shell("SONDESK_WINDIR='" + (dir / "win") + "' '" + cli + "' --quiet --program-dir '" +
                     SONDESK_PROGRAM_DIR + "' --image '" + image + "' " + args,
                 out);
  }
  std::string cli, image;
};

TEST_F(CardCliTest, FormatPutGetAndRemoveOnAnImage) {
  std::string out;
  // Without --yes a run that cannot ask takes the cautious answer and formats nothing.
  EXPECT_NE(Cli("card format </dev/null", &out), 0);
  ASSERT_EQ(Cli("--yes card format", &out), 0) << out;
  EXPECT_EQ(FsckPartition(image, &out), 0) << out;

  const auto a = Pattern(77777, 1);
  WriteFile(dir / "a.bin", a);
  ASSERT_EQ(Cli("fs put '' INDEX0.DAT '" + (dir / "a.bin") + "'", &out), 0) << out;
  ASSERT_EQ(Cli("fs ls", &out), 0);
  EXPECT_NE(out.find("INDEX0.DAT\t77777\t2\n"), std::string::npos) << out;
  ASSERT_EQ(Cli("fs info", &out), 0);
  EXPECT_NE(out.find("PbrLba: 32\n"), std::string::npos) << out;
  // The format ends with the empty catalogue: index, setup and playlist files and the 31 song folders.
  EXPECT_NE(out.find("FilesAndDirs: 57\n"), std::string::npos) << out;

  // What we wrote, mcopy reads; what mcopy writes, we read.
  const std::string at = "'" + image + "@@" + std::to_string(PartitionOffset(ReadBytes(image))) + "'";
  ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + at + " ::/INDEX0.DAT '" + (dir / "m.bin") + "'"), 0);
  EXPECT_EQ(ReadBytes(dir / "m.bin"), a);
  const auto b = Pattern(4000, 2);
  WriteFile(dir / "b.bin", b);
  ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mmd -i " + at + " ::/SPARE"), 0);
  ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mcopy -i " + at + " '" + (dir / "b.bin") + "' ::/12/00012.MF3"), 0);
  ASSERT_EQ(Cli("fs get 12 00012.MF3 '" + (dir / "back.bin") + "'", &out), 0) << out;
  EXPECT_EQ(ReadBytes(dir / "back.bin"), b);

  ASSERT_EQ(Cli("fs rm '' INDEX0.DAT", &out), 0) << out;
  EXPECT_NE(Cli("fs get '' INDEX0.DAT '" + (dir / "gone.bin") + "'", &out), 0);
  EXPECT_NE(out.find("no such file"), std::string::npos) << out;
  EXPECT_NE(Cli("fs put '' NOT-8.3-NAME.DATA x", &out), 0);
  EXPECT_EQ(FsckPartition(image, &out), 0) << out;

  ASSERT_EQ(Cli("card report '" + (dir / "report.html") + "'", &out), 0) << out;
  EXPECT_NE(ReadFile(dir / "report.html").find("<h1>Root Directory Content</h1>"), std::string::npos);
}

}  // namespace
}  // namespace sondesk::test
