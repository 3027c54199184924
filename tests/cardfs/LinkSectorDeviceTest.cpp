// The sector layer over the link: retries, the user's cancel, progress per sector, and the whole
// file system through the virtual player.

#include <gtest/gtest.h>

#include "cardfs/ImageSectorDevice.h"
#include "cardfs/LinkSectorDevice.h"
#include "emulator/VirtualPlayer.h"
#include "link/Link.h"
#include "link/VirtualPort.h"
#include "tests/cardfs/CardFsFixture.h"

namespace sondesk::test {
namespace {

class LinkSectorDeviceTest : public CardFsTest {
 protected:
  void Open(const std::string& image, const FaultPlan& faults = {}) {
    std::string error;
    auto p = VirtualPlayer::Open(image, faults, error);
    ASSERT_TRUE(p) << error;
    player = p.get();
    link = std::make_unique<Link>(*session, std::make_unique<VirtualPort>(std::move(p)));
    link->InitLink();
    device = std::make_unique<LinkSectorDevice>(*link, &session->progress());
  }
  VirtualPlayer* player = nullptr;
  std::unique_ptr<Link> link;
  std::unique_ptr<LinkSectorDevice> device;
};

TEST_F(LinkSectorDeviceTest, SectorsMoveOnePerTransferWithOneProgressItemEach) {
  auto card = FormattedCard(8);
  const std::string image = SaveImage(*card, "card.img");
  Open(image);
  std::vector<std::uint8_t> buffer(3 * 512);
  session->progress().ProgressStartTimed(100);
  ASSERT_EQ(device->ReadSectors(0, 3, buffer.data()), 1);
  EXPECT_EQ(session->progress().done(), 3u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), card->bytes().begin()));
  const auto data = Pattern(512, 3);
  ASSERT_EQ(device->WriteSectors(40, 1, data.data()), 1);
  EXPECT_EQ(session->progress().done(), 4u);
  session->progress().ProgressEnd();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), ReadBytes(image).begin() + 40 * 512));
  EXPECT_EQ(device->ReadSectors(0, 0, buffer.data()), 1);

  // An aborted link makes every transfer fail at once, without a word on the wire.
  const auto before = player->counters().codes;
  link->ReportLinkError("x");
  link->ReportLinkError("x");
  ui.boxAnswers.push_back(BoxAnswer::Cancel);
  link->ReportLinkError("x");
  ASSERT_EQ(link->LinkState(), kLinkAborted);
  EXPECT_EQ(device->ReadSectors(0, 1, buffer.data()), 0);
  EXPECT_EQ(device->WriteSectors(40, 1, data.data()), 0);
  EXPECT_EQ(player->counters().codes, before);
}

TEST_F(LinkSectorDeviceTest, BadChecksumsAreRetriedUntilTheUserGivesUp) {
  auto card = FormattedCard(8);
  const std::string image = SaveImage(*card, "card.img");
  FaultPlan faults;
  faults.badChecksum = FaultRule::Every(2);  // every other read garbled: retried silently
  Open(image, faults);
  std::vector<std::uint8_t> buffer(8 * 512);
  ASSERT_EQ(device->ReadSectors(0, 8, buffer.data()), 1);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), card->bytes().begin()));
  EXPECT_TRUE(ui.boxes.empty());

  // A cable that garbles every read ends in the link's question, not in an endless loop.
  faults.badChecksum = FaultRule::Always();
  player->SetFaults(faults);
  ui.boxAnswers = {BoxAnswer::Retry, BoxAnswer::Cancel};
  EXPECT_EQ(device->ReadSectors(0, 1, buffer.data()), 0);
  EXPECT_EQ(ui.CountShown(session->Text(98)), 2);
}

TEST_F(LinkSectorDeviceTest, FileSystemWorksThroughThePlayerAsOnTheImage) {
  const std::string image = dir / "blank.img";
  std::string error;
  ASSERT_TRUE(CreateBlankCardImage(image, 8, error)) << error;
  Open(image);
  auto fs = FileSystem(*device);
  // The blank card is formatted through the player after the question.
  ASSERT_EQ(fs->ConnectCard(), 1) << fs->lastErrorText();
  ASSERT_EQ(fs->CreateDirectory(SongFolderName11(9)), 1);
  const auto song = Pattern(5000, 9);
  ASSERT_EQ(fs->WriteCardFileData("9", SongFileName11(9), song), 1);

  // The same card read directly gives the same layout and the same file.
  auto direct = ImageSectorDevice::Open(image, nullptr, error);
  ASSERT_TRUE(direct) << error;
  auto fs2 = FileSystem(*direct);
  ASSERT_EQ(fs2->ConnectCard(), 1);
  EXPECT_EQ(fs2->geometry().DataLba, fs->geometry().DataLba);
  EXPECT_EQ(fs2->identity().DefaultSectorsPerTrack(), fs->identity().DefaultSectorsPerTrack());
  std::vector<std::uint8_t> out;
  ASSERT_EQ(fs2->ReadCardFileData("9", SongFileName11(9), out), 1);
  EXPECT_EQ(out, song);

  // A truncated image stops with a clear error, not a crash.
  ASSERT_EQ(::truncate(image.c_str(), 64 * 512), 0);
  auto cut = ImageSectorDevice::Open(image, nullptr, error);
  ASSERT_TRUE(cut) << error;
  auto fs3 = FileSystem(*cut);
  EXPECT_EQ(fs3->ConnectCard(), 0);
  EXPECT_NE(fs3->lastErrorText().find("beyond the end"), std::string::npos) << fs3->lastErrorText();
}

}  // namespace
}  // namespace sondesk::test
