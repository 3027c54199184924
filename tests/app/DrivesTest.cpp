#include "app/Drives.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/Paths.h"
#include "app/Settings.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::TempDir;
using test::WriteFile;

// A machine of our own: a mountinfo file and a /sys/class/block of links into a device tree.
struct FakeMachine {
  TempDir dir;
  std::string mountinfo = dir / "mountinfo";
  std::string sysBlock = dir / "class/block";
  FakeMachine() {
    namespace fs = std::filesystem;
    // sdb: a USB card reader's disk with one partition; sda: the fixed disk.
    const std::string usbDisk = dir / "devices/pci0000:00/usb1/1-1/host6/block/sdb";
    const std::string fixedDisk = dir / "devices/pci0000:00/ata1/host0/block/sda";
    MakeFolders(usbDisk + "/sdb1");
    MakeFolders(fixedDisk + "/sda2");
    WriteFile(usbDisk + "/removable", "0\n");  // many readers say 0; USB tells the truth
    WriteFile(fixedDisk + "/removable", "0\n");
    MakeFolders(sysBlock);
    fs::create_symlink(usbDisk + "/sdb1", sysBlock + "/sdb1");
    fs::create_symlink(fixedDisk + "/sda2", sysBlock + "/sda2");
    WriteFile(mountinfo,
              "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
              "40 22 8:17 / /media/me/MY\\040CARD rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
              "41 22 0:30 / /tmp rw - tmpfs tmpfs rw\n");
  }
};

TEST(Drives, MountinfoGivesMountPointsWithTheirDevices) {
  FakeMachine m;
  const auto drives = MountedDrives(m.mountinfo);
  ASSERT_EQ(drives.size(), 3u);
  EXPECT_EQ(drives[1].mountPoint, "/media/me/MY CARD");
  EXPECT_EQ(drives[1].device, "/dev/sdb1");
  EXPECT_EQ(drives[1].fileSystem, "vfat");
  EXPECT_EQ(drives[2].device, "tmpfs");
  EXPECT_TRUE(MountedDrives(m.dir / "no-such-file").empty());
}

TEST(Drives, OnlyARemovableDriveIsTakenAsTheCardDrive) {
  FakeMachine m;
  EXPECT_TRUE(IsRemovableMount("/media/me/MY CARD/", m.mountinfo, m.sysBlock));
  EXPECT_FALSE(IsRemovableMount("/", m.mountinfo, m.sysBlock));
  EXPECT_FALSE(IsRemovableMount("/tmp", m.mountinfo, m.sysBlock));
  EXPECT_FALSE(IsRemovableMount("/media/me", m.mountinfo, m.sysBlock));

  TempDir ini;
  Settings s(ini / "Sondesk.INI");
  ASSERT_TRUE(s.WriteString("Settings", "Flashdrive", "/"));
  EXPECT_TRUE(SetAsideFixedCardDrive(s, m.mountinfo, m.sysBlock));
  EXPECT_EQ(s.flashDrive, kNoDrive);
  // Only for this run: the file keeps the user's choice, and a later write of another key does not
  // bring the fixed disk back.
  ASSERT_TRUE(s.WriteInt("Settings", "CheckCategory", 0));
  EXPECT_EQ(s.flashDrive, kNoDrive);
  Settings again(ini / "Sondesk.INI");
  again.Load();
  EXPECT_EQ(again.flashDrive, "/");

  s.flashDrive = "/media/me/MY CARD";
  EXPECT_FALSE(SetAsideFixedCardDrive(s, m.mountinfo, m.sysBlock));
  EXPECT_EQ(s.flashDrive, "/media/me/MY CARD");
  // Where the settings allow every drive, any folder will do.
  s.flashDrive = "/tmp";
  s.onlyDriveRemovable = 0;
  EXPECT_FALSE(SetAsideFixedCardDrive(s, m.mountinfo, m.sysBlock));
  EXPECT_EQ(s.flashDrive, "/tmp");
}

}  // namespace
}  // namespace sondesk
