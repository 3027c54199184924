#pragma once
// The drives of the machine as the card drive setting sees them: mount points from
// /proc/self/mountinfo, removable or not from sysfs.

#include <string>
#include <vector>

namespace sondesk {

class Settings;

struct MountedDrive {
  std::string mountPoint;
  std::string device;  // "/dev/sdb1", or the source of a mount without a device ("tmpfs")
  std::string fileSystem;
};

// Every mount of this process's view, in mountinfo order; `mountinfo` names another file (tests).
std::vector<MountedDrive> MountedDrives(const std::string& mountinfo = "/proc/self/mountinfo");

// A block device the kernel calls removable (its disk's "removable" flag) or that hangs off USB.
// `sysBlock` is /sys/class/block, another folder for tests.
bool IsRemovableDevice(const std::string& device, const std::string& sysBlock = "/sys/class/block");

// The drive mounted exactly at `mountPoint` is removable.
bool IsRemovableMount(const std::string& mountPoint, const std::string& mountinfo = "/proc/self/mountinfo",
                      const std::string& sysBlock = "/sys/class/block");

// The card drive of the settings is used only when it is a removable drive (unless
// OnlyDriveRemovable is 0): otherwise it counts as no drive for this run, in memory only, so a
// fixed disk named by mistake is never emptied by a format. True when the drive was set aside.
bool SetAsideFixedCardDrive(Settings& settings, const std::string& mountinfo = "/proc/self/mountinfo",
                            const std::string& sysBlock = "/sys/class/block");

}  // namespace sondesk
