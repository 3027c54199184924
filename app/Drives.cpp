#include "app/Drives.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "app/Paths.h"
#include "app/Settings.h"

namespace sondesk {

namespace {

// mountinfo escapes blanks and backslashes in paths as octal: "\040" is a space.
std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto octal = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '7'; };
    if (s[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string CleanPath(const std::string& path) {
  std::string p = std::filesystem::path(path).lexically_normal().string();
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

bool ReadsOne(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string v;
  return in && (in >> v) && v == "1";
}

}  // namespace

std::vector<MountedDrive> MountedDrives(const std::string& mountinfo) {
  std::vector<MountedDrive> out;
  std::ifstream in(mountinfo);
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mountpoint options [optional fields...] - fstype source superoptions
    std::istringstream fields(line);
    std::string id, parent, majorMinor, root, mountPoint;
    if (!(fields >> id >> parent >> majorMinor >> root >> mountPoint)) continue;
    std::string word;
    while (fields >> word && word != "-") {
    }
    MountedDrive d;
    d.mountPoint = Unescape(mountPoint);
    fields >> d.fileSystem >> d.device;
    d.device = Unescape(d.device);
    out.push_back(d);
  }
  return out;
}

bool IsRemovableDevice(const std::string& device, const std::string& sysBlock) {
  if (device.rfind("/dev/", 0) != 0) return false;
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::weakly_canonical(device, ec);
  const std::string name = (ec ? std::filesystem::path(device) : real).filename().string();
  if (name.empty()) return false;
  // /sys/class/block/<name> links into the device tree; a partition's disk is its parent folder.
  const std::filesystem::path link = std::filesystem::path(sysBlock) / name;
  const std::filesystem::path sys = std::filesystem::canonical(link, ec);
  if (ec) return false;
  const bool usb = sys.string().find("/usb") != std::string::npos;
  for (std::filesystem::path dir = sys; dir.has_parent_path() && dir != dir.root_path(); dir = dir.parent_path()) {
    if (std::filesystem::exists(dir / "removable", ec)) return ReadsOne(dir / "removable") || usb;
    if (dir.parent_path() == dir) break;
  }
  return usb;
}

bool IsRemovableMount(const std::string& mountPoint, const std::string& mountinfo, const std::string& sysBlock) {
  const std::string want = CleanPath(mountPoint);
  bool removable = false;
  // The last mount at a point hides the ones below it.
  for (const MountedDrive& d : MountedDrives(mountinfo)) {
    if (CleanPath(d.mountPoint) == want) removable = IsRemovableDevice(d.device, sysBlock);
  }
  return removable;
}

bool SetAsideFixedCardDrive(Settings& settings, const std::string& mountinfo, const std::string& sysBlock) {
  const std::string& drive = settings.flashDrive;
  if (drive.empty() || drive == kNoDrive || settings.onlyDriveRemovable == 0) return false;
  if (IsRemovableMount(drive, mountinfo, sysBlock)) return false;
  settings.flashDrive = kNoDrive;
  return true;
}

}  // namespace sondesk
