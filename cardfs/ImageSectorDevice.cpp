#include "cardfs/ImageSectorDevice.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "emulator/CardImage.h"

namespace sondesk {

std::unique_ptr<ImageSectorDevice> ImageSectorDevice::Open(const std::string& path, Progress* progress,
                                                           std::string& error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  bool readOnly = false;
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    readOnly = true;
  }
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode))) {
    error = path + ": not a card image (neither a file nor a block device)";
    ::close(fd);
    return nullptr;
  }
  std::uint64_t bytes = static_cast<std::uint64_t>(st.st_size);
  if (S_ISBLK(st.st_mode)) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    bytes = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  }
  const std::uint64_t sectors = bytes / kSectorSize;
  if (sectors < kMinImageSectors) {
    error = path + ": not a card image (" + std::to_string(bytes) + " bytes)";
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<ImageSectorDevice> device(new ImageSectorDevice);
  device->fd_ = fd;
  device->readOnly_ = readOnly;
  device->path_ = path;
  // The card layer addresses 24-bit sectors, the last address being the identification block.
  device->sectors_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, kMaxImageSectors));
  device->identity_ = SynthesizeCardIdentity(device->sectors_);
  device->progress_ = progress;
  return device;
}

ImageSectorDevice::~ImageSectorDevice() {
  if (fd_ >= 0) ::close(fd_);
}

int ImageSectorDevice::Fail(std::string why) {
  error_ = path_ + ": " + std::move(why);
  state_ = 1;
  return 0;
}

int ImageSectorDevice::ReadSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* buffer) {
  if (state_ == 1) return 0;
  if (count == 0) return 1;
  if (lba == kIdentityLba && count == 1) {
    std::memcpy(buffer, identity_.bytes.data(), kSectorSize);
    if (progress_) progress_->ProgressStepTimed(1);
    return 1;
  }
  if (static_cast<std::uint64_t>(lba) + count > sectors_) {
    return Fail("sector " + std::to_string(static_cast<std::uint64_t>(lba) + count - 1) +
                " lies beyond the end of the card (" + std::to_string(sectors_) + " sectors)");
  }
  const std::size_t total = static_cast<std::size_t>(count) * kSectorSize;
  const off_t offset = static_cast<off_t>(lba) * kSectorSize;
  std::size_t done = 0;
  while (done < total) {
    const ssize_t n = ::pread(fd_, buffer + done, total - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(std::strerror(errno));
    if (n == 0) return Fail("unexpected end of the image");
    done += static_cast<std::size_t>(n);
  }
  if (progress_) progress_->ProgressStepTimed(count);
  return 1;
}

int ImageSectorDevice::WriteSectors(std::uint32_t lba, std::uint32_t count, const std::uint8_t* buffer) {
  if (state_ == 1) return 0;
  if (count == 0) return 1;
  if (readOnly_) return Fail("the image may only be read");
  if (static_cast<std::uint64_t>(lba) + count > sectors_) {
    return Fail("sector " + std::to_string(static_cast<std::uint64_t>(lba) + count - 1) +
                " lies beyond the end of the card (" + std::to_string(sectors_) + " sectors)");
  }
  const std::size_t total = static_cast<std::size_t>(count) * kSectorSize;
  const off_t offset = static_cast<off_t>(lba) * kSectorSize;
  std::size_t done = 0;
  while (done < total) {
    const ssize_t n = ::pwrite(fd_, buffer + done, total - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n < 0 ? std::strerror(errno) : "the image cannot grow");
    done += static_cast<std::size_t>(n);
  }
  if (progress_) progress_->ProgressStepTimed(count);
  return 1;
}

}  // namespace sondesk
