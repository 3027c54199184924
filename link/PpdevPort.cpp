#include "link/PpdevPort.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sondesk {

std::string PpdevDeviceFor(int currentLpt) {
  return currentLpt == 0 ? "/dev/parport0" : "/dev/parport1";
}

std::string PpdevOpenError(const std::string& device, const char* step, int err) {
  std::string text = device + ": " + std::strerror(err) + ".";
  if (err == EACCES || err == EPERM) {
    text +=
        " The parallel port belongs to the group \"lp\": add your user to it (sudo adduser $USER lp) and log "
        "in "
        "again.";
  } else if (err == ENOENT || err == ENXIO || err == ENODEV) {
    text +=
        " There is no such parallel port: load the parport_pc and ppdev modules (sudo modprobe -a parport_pc "
        "ppdev), or choose the port in the settings (CurrentLpt, PortBackend).";
  } else if (err == EBUSY) {
    text += " Another program holds the port (a printer daemon?); close it and try again.";
  } else if (std::strcmp(step, "claim") == 0 && (err == ENOTTY || err == EINVAL)) {
    text += " This is not a parallel port device.";
  }
  return text;
}

std::unique_ptr<PpdevPort> PpdevPort::Open(const std::string& device, std::string& error) {
  const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = PpdevOpenError(device, "open", errno);
    return nullptr;
  }
  if (::ioctl(fd, PPCLAIM) != 0) {
    error = PpdevOpenError(device, "claim", errno);
    ::close(fd);
    return nullptr;
  }
  // The link drives the data lines itself: forward direction, whatever the port was left in.
  int forward = 0;
  ::ioctl(fd, PPDATADIR, &forward);
  return std::unique_ptr<PpdevPort>(new PpdevPort(fd, device));
}

PpdevPort::~PpdevPort() {
  ::ioctl(fd_, PPRELEASE);
  ::close(fd_);
}

void PpdevPort::WriteData(std::uint8_t value) {
  unsigned char v = value;
  ::ioctl(fd_, PPWDATA, &v);
}

void PpdevPort::WriteControl(std::uint8_t value) {
  unsigned char v = value;
  ::ioctl(fd_, PPWCONTROL, &v);
}

std::uint8_t PpdevPort::ReadStatus() {
  unsigned char v = 0;
  ::ioctl(fd_, PPRSTATUS, &v);
  return v;
}

}  // namespace sondesk
