// The update command against the virtual player's loader: the dialogue, the checks before the
// loader is woken, the erase and record lines, the attempts, and what the player keeps.

#include <gtest/gtest.h>

#include <algorithm>

#include "link/FirmwareFile.h"
#include "link/FirmwareUpdate.h"
#include "tests/link/FirmwareRig.h"
#include "tests/link/LinkRig.h"

namespace sondesk {
namespace {

using namespace test;

struct UpdateRig : LinkRig {
  std::string programDir = dir / "program";
  std::string target = programDir + "/SONVAR.MHX";
  std::string oldText = FirmwareText("OLD 1.0", FirmwareLines(4, 0x000200, "OLD 1.0"));
  std::string newText = FirmwareText("NEW 2.0", FirmwareLines(12, 0x010000, "NEW 2.0"));

  UpdateRig() {
    MakeFolders(programDir);
    session->SetProgramDir(programDir);
    WriteFile(target, oldText);
  }
  std::string Elsewhere(const std::string& name, const std::string& text) {
    MakeFolders(dir / "elsewhere");
    const std::string path = dir / ("elsewhere/" + name);
    WriteFile(path, text);
    return path;
  }
  std::vector<std::string> LinesStartingWith(VirtualPlayer& p, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : p.loaderLines()) {
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
  }
};

TEST(FirmwareUpdateTest, WebUpdateOffGoesStraightToTheQuestionOfMessage29) {
  UpdateRig rig;
  rig.session->settings().webUpdate = 0;
  auto link = rig.Connect();
  rig.ui.boxAnswers = {BoxAnswer::No};
  const FirmwareUpdateResult r = UpdateFirmware(*rig.session, *link);
  EXPECT_EQ(r.outcome, FirmwareOutcome::Declined);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, rig.session->Text(29));
  EXPECT_EQ(rig.ui.boxes[0].title, rig.session->Text(22));
  EXPECT_EQ(rig.ui.boxes[0].buttons, BoxButtons::YesNo);
  EXPECT_EQ(rig.ui.progressOpens, 0);  // no download was tried
  EXPECT_EQ(link->virtualPlayer()->counters().codes, 0u);
}

TEST(FirmwareUpdateTest, SonvarMhxChosenElsewhereIsCopiedInThenWrittenBlockByBlock) {
  UpdateRig rig;
  rig.session->settings().webUpdate = 0;
  auto link = rig.Connect();
  VirtualPlayer& player = *link->virtualPlayer();
  rig.ui.boxAnswers = {BoxAnswer::Yes, BoxAnswer::Yes};
  rig.ui.openFilesAnswers = {{rig.Elsewhere("sonvar.mhx", rig.newText)}};

  const FirmwareUpdateResult r = UpdateFirmware(*rig.session, *link);
  ASSERT_EQ(r.outcome, FirmwareOutcome::Updated) << r.detail;
  EXPECT_EQ(ReadFile(rig.target), rig.newText);
  EXPECT_EQ(r.version, "NEW 2.0\r\n");
  ASSERT_EQ(rig.ui.boxes.size(), 2u);
  EXPECT_EQ(rig.ui.boxes[1].text, "NEW 2.0\r\n\nDo you want to use this version to update Sonvar?\n");

  // Block 3 holds the loader and is never erased.
  EXPECT_EQ(rig.LinesStartingWith(player, "ES"),
            (std::vector<std::string>{"ES 00", "ES 01", "ES 02", "ES 04", "ES 05", "ES 06"}));
  const auto& lines = player.loaderLines();
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 2), (std::vector<std::string>{"\x1b", "\x1b"}));
  EXPECT_EQ(lines[8], "\x1b");
  EXPECT_EQ(lines[9], "HEXDWL");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()), (std::vector<std::string>{"\x1b", "RST"}));
  EXPECT_FALSE(player.inLoader());
  // The wake-up: code 15, then code 10 (twice: the ready wait wakes it again).
  const auto& wire = player.wireTrace();
  ASSERT_GE(wire.size(), 3u);
  EXPECT_EQ(wire[0], WireCode(0xAF));
  EXPECT_EQ(wire[1], WireCode(0xAA));

  // What the player now holds is the file's data, byte for byte, and its header text.
  VirtualFlash& flash = player.flash();
  const auto data = FirmwareData(rig.newText);
  const auto summary = flash.Summarize();
  EXPECT_EQ(summary.version, "NEW 2.0");
  EXPECT_EQ(summary.bytes, data.size());
  for (const auto& [address, value] : data) {
    ASSERT_TRUE(flash.Written(address)) << address;
    ASSERT_EQ(flash.ReadByte(address), value) << address;
  }
  // Progress: six erase items, then one item per 50 lines.
  EXPECT_EQ(rig.ui.busyOn > 0, true);
  EXPECT_FALSE(rig.ui.progressIsOpen);
}

TEST(FirmwareUpdateTest, ProgramMemorySurvivesARestartOfThePlayer) {
  UpdateRig rig;
  {
    auto link = rig.Connect();
    rig.ui.boxAnswers = {BoxAnswer::Yes};
    ASSERT_EQ(UpdateFirmware(*rig.session, *link, ShippedFirmwarePath()).outcome, FirmwareOutcome::Updated);
  }
  std::string error;
  auto player = VirtualPlayer::Open(rig.image, {}, error);
  ASSERT_TRUE(player) << error;
  const auto s = player->flash().Summarize();
  const FirmwareCheck c = CheckFirmwareFile(ShippedFirmwarePath());
  EXPECT_EQ(s.version, c.version);
  EXPECT_EQ(s.bytes, c.dataBytes);
  EXPECT_EQ(s.sum, c.dataSum);
  EXPECT_EQ(s.erasedBlocks, (std::vector<std::uint32_t>{0, 1, 2, 4, 5, 6}));
  EXPECT_EQ(player->flashError(), "");
  // The program folder's file was not touched by an update from a named file.
  EXPECT_EQ(ReadFile(rig.target), rig.oldText);
}

TEST(FirmwareUpdateTest, WrongNameOrNoChoiceEndsWithMessage31) {
  UpdateRig rig;
  rig.session->settings().webUpdate = 0;
  auto link = rig.Connect();
  rig.ui.boxAnswers = {BoxAnswer::Yes, BoxAnswer::Yes};
  rig.ui.openFilesAnswers = {{rig.Elsewhere("firmware.mhx", rig.newText)}};
  EXPECT_EQ(UpdateFirmware(*rig.session, *link).outcome, FirmwareOutcome::NoFile);
  EXPECT_EQ(UpdateFirmware(*rig.session, *link).outcome, FirmwareOutcome::NoFile);  // dialog cancelled
  EXPECT_EQ(rig.ui.CountShown(rig.session->Text(31)), 2);
  EXPECT_EQ(ReadFile(rig.target), rig.oldText);
  EXPECT_EQ(link->virtualPlayer()->counters().codes, 0u);
}

TEST(FirmwareUpdateTest, BadFilesAreRefusedWithMessage32BeforeThePlayerHearsAnything) {
  UpdateRig rig;
  rig.session->settings().webUpdate = 0;
  auto link = rig.Connect();

  // The right count with a wrong sum.
  std::string wrongSum = rig.newText;
  const std::size_t l2 = wrongSum.find("\r\n") + 2;
  wrongSum.insert(wrongSum.find(' ', l2) + 1, "9");
  // Count and sum right, one record with a bad checksum.
  auto lines = FirmwareLines(12, 0x010000, "NEW 2.0");
  lines[7] = WithBadChecksum(lines[7]);
  const std::string badRecord = FirmwareText("NEW 2.0", lines);

  for (const std::string& text : {wrongSum, badRecord}) {
    rig.ui.boxes.clear();
    rig.ui.boxAnswers = {BoxAnswer::Yes};
    rig.ui.openFilesAnswers = {{rig.Elsewhere("SONVAR.MHX", text)}};
    EXPECT_EQ(UpdateFirmware(*rig.session, *link).outcome, FirmwareOutcome::Invalid);
    ASSERT_EQ(rig.ui.boxes.size(), 2u);
    EXPECT_EQ(rig.ui.boxes[1].text, rig.session->Text(32));
    EXPECT_EQ(rig.ui.boxes[1].title, rig.session->Text(21));
    EXPECT_EQ(rig.ui.boxes[1].icon, BoxIcon::Stop);
    // The good file stays in the program folder, and the loader was never woken.
    EXPECT_EQ(ReadFile(rig.target), rig.oldText);
    EXPECT_EQ(link->virtualPlayer()->counters().codes, 0u);
  }

  // The same for a file named on the command line.
  WriteFile(rig.dir / "named.mhx", badRecord);
  rig.ui.boxes.clear();
  const FirmwareUpdateResult r = UpdateFirmware(*rig.session, *link, rig.dir / "named.mhx");
  EXPECT_EQ(r.outcome, FirmwareOutcome::Invalid);
  EXPECT_NE(r.detail.find("line 10: a record checksum error"), std::string::npos) << r.detail;
  EXPECT_EQ(link->virtualPlayer()->counters().codes, 0u);
}

TEST(FirmwareUpdateTest, NoAtTheVersionQuestionStillSendsEscAndRst) {
  UpdateRig rig;
  auto link = rig.Connect();
  VirtualPlayer& player = *link->virtualPlayer();
  rig.ui.boxAnswers = {BoxAnswer::No};
  EXPECT_EQ(UpdateFirmware(*rig.session, *link, rig.target).outcome, FirmwareOutcome::Declined);
  EXPECT_EQ(player.loaderLines(), (std::vector<std::string>{"\x1b", "RST"}));
  EXPECT_FALSE(player.inLoader());
  EXPECT_EQ(player.flash().Summarize().bytes, 0u);
  EXPECT_EQ(rig.ui.busyOn, 1);
  EXPECT_EQ(rig.ui.busyOff, 1);
}

TEST(FirmwareUpdateTest, FourFailedAttemptsShowMessage260) {
  UpdateRig rig;
  FaultPlan faults;
  faults.loaderError = FaultRule::Once(3);  // every download's third record
  auto link = rig.Connect(faults);
  VirtualPlayer& player = *link->virtualPlayer();
  rig.ui.boxAnswers = {BoxAnswer::Yes};
  const FirmwareUpdateResult r = UpdateFirmware(*rig.session, *link, rig.target);
  EXPECT_EQ(r.outcome, FirmwareOutcome::Failed);
  EXPECT_EQ(r.detail, "the loader signalled an error at line 5");
  EXPECT_EQ(rig.LinesStartingWith(player, "HEXDWL").size(), 4u);
  ASSERT_EQ(rig.ui.boxes.size(), 2u);
  EXPECT_EQ(rig.ui.boxes[1].text, rig.session->Text(260));
  EXPECT_EQ(rig.ui.boxes[1].title, rig.session->Text(22));
  // Left in the loader, which is what the message tells the user to recover from.
  EXPECT_TRUE(player.inLoader());
  EXPECT_FALSE(rig.ui.progressIsOpen);
}

TEST(FirmwareUpdateTest, AHungLoaderIsWokenAgainByTheNextAttempt) {
  UpdateRig rig;
  FaultPlan faults;
  faults.loaderNoAck = FaultRule::Once(10);  // the "S" of "ES 01"
  auto link = rig.Connect(faults);
  VirtualPlayer& player = *link->virtualPlayer();
  rig.ui.boxAnswers = {BoxAnswer::Yes};
  const FirmwareUpdateResult r = UpdateFirmware(*rig.session, *link, rig.target);
  EXPECT_EQ(r.outcome, FirmwareOutcome::Updated) << r.detail;
  EXPECT_EQ(rig.LinesStartingWith(player, "ES 00").size(), 2u);
  EXPECT_EQ(rig.LinesStartingWith(player, "HEXDWL").size(), 1u);
  EXPECT_FALSE(rig.ui.Shown(rig.session->Text(260)));
  EXPECT_EQ(player.flash().Summarize().version, "OLD 1.0");
}

TEST(FirmwareUpdateTest, ALineThatIsNoRecordStopsTheAttemptThere) {
  UpdateRig rig;
  auto lines = FirmwareLines(6);
  lines[3] = "XYZ";  // line 6 of the file
  WriteFile(rig.dir / "odd.mhx", FirmwareText("ODD", lines));
  auto link = rig.Connect();
  std::string why;
  EXPECT_EQ(ProgramFirmware(*rig.session, *link, rig.dir / "odd.mhx", why), 0);
  EXPECT_EQ(why, "line 6 is not an S-record");
  const auto& sent = link->virtualPlayer()->loaderLines();
  const auto hexdwl = std::find(sent.begin(), sent.end(), "HEXDWL");
  ASSERT_NE(hexdwl, sent.end());
  EXPECT_EQ(sent.end() - hexdwl - 1, 3);  // lines 3, 4 and 5
}

TEST(FirmwareUpdateTest, WithoutAPlayerEveryAttemptFails) {
  UpdateRig rig;
  Link link(*rig.session);  // no port
  rig.ui.boxAnswers = {BoxAnswer::Yes};
  const FirmwareUpdateResult r = UpdateFirmware(*rig.session, link, rig.target);
  EXPECT_EQ(r.outcome, FirmwareOutcome::Failed);
  EXPECT_EQ(r.detail, "the loader did not signal ready");
  EXPECT_TRUE(rig.ui.Shown(rig.session->Text(260)));
  EXPECT_EQ(rig.ui.busyOn, 4);
}

}  // namespace
}  // namespace sondesk

namespace sondesk {
namespace {

TEST(FirmwareUpdateTest, WithoutAProgramFolderTheFileStaysWithTheUsersData) {
  test::LinkRig rig;
  rig.session->SetProgramDir("");
  EXPECT_EQ(FirmwareFilePath(*rig.session), rig.dir / "data/SONVAR.MHX");
  rig.session->SetProgramDir(rig.dir / "prog");
  EXPECT_EQ(FirmwareFilePath(*rig.session), rig.dir / "prog/SONVAR.MHX");
}

}  // namespace
}  // namespace sondesk
