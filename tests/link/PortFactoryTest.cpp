// Choosing and opening the port: --port texts, the PortBackend setting, and what the user is told
// when a port cannot be opened.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "link/PortFactory.h"
#include "link/PpdevPort.h"
#include "tests/link/LinkRig.h"

namespace sondesk {
namespace {

using test::LinkRig;

TEST(PortFactoryTest, PortTextsNameTheirBackend) {
  PortChoice c;
  std::string error;
  ASSERT_TRUE(ParsePortText("virtual:/tmp/card.img?faults=nak@2,badsum:1%&strict=1", 0, c, error)) << error;
  EXPECT_EQ(c.kind, PortChoice::Kind::Virtual);
  EXPECT_EQ(c.path, "/tmp/card.img");
  EXPECT_EQ(c.faults.nak.mode, FaultRule::Mode::Once);
  EXPECT_EQ(c.faults.badChecksum.perMillion, 10000u);
  EXPECT_TRUE(c.faults.strict);

  ASSERT_TRUE(ParsePortText("ppdev:/dev/parport3", 0, c, error));
  EXPECT_EQ(c.kind, PortChoice::Kind::Ppdev);
  EXPECT_EQ(c.path, "/dev/parport3");
  ASSERT_TRUE(ParsePortText("ppdev", 1, c, error));
  EXPECT_EQ(c.path, "/dev/parport1");  // CurrentLpt 1 is LPT2
  ASSERT_TRUE(ParsePortText("LPT2", 0, c, error));
  EXPECT_EQ(c.kind, PortChoice::Kind::Direct);
  EXPECT_EQ(c.base, 0x278);
  ASSERT_TRUE(ParsePortText("lpt1", 1, c, error));
  EXPECT_EQ(c.base, 0x378);
  ASSERT_TRUE(ParsePortText("direct", 5, c, error));
  EXPECT_EQ(c.base, 0x278);

  EXPECT_FALSE(ParsePortText("com1", 0, c, error));
  EXPECT_NE(error.find("unknown port 'com1'"), std::string::npos);
  EXPECT_FALSE(ParsePortText("virtual:x.img?faults=explode", 0, c, error));
  EXPECT_NE(error.find("explode"), std::string::npos);
  EXPECT_FALSE(ParsePortText("virtual:x.img?speed=9", 0, c, error));
}

TEST(PortFactoryTest, PpdevFailureSaysWhyOnce) {
  LinkRig rig;
  std::string error;
  // No such device: one message naming it, with the driver text the program always gave.
  EXPECT_EQ(OpenLink(*rig.session, "ppdev:" + rig.dir / "parport0", error), nullptr);
  EXPECT_EQ(error.rfind(rig.session->Text(35), 0), 0u) << error;
  EXPECT_NE(error.find(rig.dir / "parport0"), std::string::npos);
  EXPECT_NE(error.find("No such file or directory"), std::string::npos);
  EXPECT_NE(error.find("modprobe"), std::string::npos);

  // Something that is not a parallel port refuses the claim.
  test::WriteFile(rig.dir / "plain", "x");
  EXPECT_EQ(OpenLink(*rig.session, "ppdev:" + rig.dir / "plain", error), nullptr);
  EXPECT_NE(error.find("not a parallel port device"), std::string::npos) << error;

  // No permission names the group that owns the ports (root here cannot be refused, so the text
  // itself is checked).
  const std::string denied = PpdevOpenError("/dev/parport0", "open", EACCES);
  EXPECT_NE(denied.find("/dev/parport0: Permission denied."), std::string::npos);
  EXPECT_NE(denied.find("group \"lp\""), std::string::npos);
  EXPECT_NE(PpdevOpenError("/dev/parport0", "claim", EBUSY).find("Another program"), std::string::npos);

  // Through OpenPortDriver the user sees it in a box, and the link then fails at once.
  Link link(*rig.session);
  EXPECT_EQ(link.OpenPortDriver("ppdev:" + rig.dir / "parport0"), 0);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, link.portError());
  EXPECT_EQ(rig.ui.boxes[0].title, "SONDESK - Caution");
  EXPECT_EQ(rig.ui.boxes[0].buttons, BoxButtons::Ok);
  rig.clock.SetAutoAdvance(1000);
  const std::uint64_t start = rig.clock.NowMillis();
  EXPECT_EQ(link.LinkRequestConnect(), -1);
  EXPECT_LT(rig.clock.NowMillis() - start, 5u);
  EXPECT_EQ(rig.ui.boxes.size(), 1u);
}

TEST(PortFactoryTest, RealPpdevDeviceIsClaimedAndReleased) {
  struct stat st {};
  if (::stat("/dev/parport0", &st) != 0) GTEST_SKIP() << "no /dev/parport0 on this machine";
  std::string error;
  {
    auto port = PpdevPort::Open("/dev/parport0", error);
    ASSERT_NE(port, nullptr) << error;
    port->WriteData(0);
    port->WriteControl(1);
    (void)port->ReadStatus();
  }
  // Released at close: a second claim succeeds.
  auto again = PpdevPort::Open("/dev/parport0", error);
  EXPECT_NE(again, nullptr) << error;
}

TEST(PortFactoryTest, SettingsChooseTheBackend) {
  LinkRig rig;
  Settings& s = rig.session->settings();
  std::string error;

  s.portBackend = "virtual";
  s.virtualCard = rig.image;
  auto link = OpenLink(*rig.session, "", error);
  ASSERT_NE(link, nullptr) << error;
  EXPECT_EQ(link->portName(), "virtual:" + rig.image);
  ASSERT_NE(link->virtualPlayer(), nullptr);
  EXPECT_EQ(link->LinkRequestAccess(), 1);

  // A named image that is missing is an error, never made up.
  s.virtualCard = rig.dir / "missing.img";
  EXPECT_EQ(OpenLink(*rig.session, "", error), nullptr);
  EXPECT_NE(error.find("missing.img: No such file or directory"), std::string::npos) << error;

  s.portBackend = "serial";
  EXPECT_EQ(OpenLink(*rig.session, "", error), nullptr);
  EXPECT_NE(error.find("PortBackend"), std::string::npos);

  // auto on a machine without the port of CurrentLpt: the virtual player on a fresh card.
  struct stat st {};
  s.portBackend = "auto";
  s.currentLpt = 1;
  s.virtualCard.clear();
  if (::stat("/dev/parport1", &st) == 0) GTEST_SKIP() << "this machine has /dev/parport1";
  link = OpenLink(*rig.session, "", error);
  ASSERT_NE(link, nullptr) << error;
  EXPECT_EQ(link->portName(), "virtual:" + rig.dir / "data/SonFlash.img");
  EXPECT_EQ(link->virtualPlayer()->image().sectorCount(), kDefaultVirtualCardMegabytes * 2048);

  // --port wins over the settings.
  link = OpenLink(*rig.session, "virtual:" + rig.image, error);
  ASSERT_NE(link, nullptr) << error;
  EXPECT_EQ(link->portName(), "virtual:" + rig.image);
}

TEST(PortFactoryTest, TraceLinesGoToTheTraceFileWhenAsked) {
  LinkRig rig;
  const std::string traceFile = rig.dir / "link.log";
  {
    Link link(*rig.session);
    link.TraceLine("not kept");
    rig.session->settings().traceLink = 1;
    rig.session->settings().traceFile = traceFile;
    link.TraceLine("Reading sector: 0 (1 sectors) [MBR]");
    link.ReportLinkError("not ready");
  }
  EXPECT_EQ(test::ReadFile(traceFile),
            "Reading sector: 0 (1 sectors) [MBR]\nErrore connessione SONVAR Flash reader:\nnot ready\n");
  // A trace file that cannot be written does not disturb the link.
  rig.session->settings().traceFile = rig.dir / "no/such/folder/link.log";
  Link link(*rig.session);
  link.TraceLine("lost");
  EXPECT_EQ(link.LinkState(), kLinkOk);
}

}  // namespace
}  // namespace sondesk
