#include "emulator/CardImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace sondesk {

namespace {

std::string Why(const std::string& path, int err) {
  return path + ": " + std::strerror(err);
}

}  // namespace

CardImage::~CardImage() {
  Close();
}

CardImage::CardImage(CardImage&& other) noexcept {
  *this = std::move(other);
}

CardImage& CardImage::operator=(CardImage&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    readOnly_ = other.readOnly_;
    path_ = std::move(other.path_);
    sectors_ = std::exchange(other.sectors_, 0);
    fileSectors_ = std::exchange(other.fileSectors_, 0);
  }
  return *this;
}

bool CardImage::Open(const std::string& path, std::string& error) {
  Close();
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  bool readOnly = false;
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    readOnly = true;
  }
  if (fd < 0) {
    error = Why(path, errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = Why(path, errno);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
    error = path + ": not a card image (neither a file nor a block device)";
    ::close(fd);
    return false;
  }
  std::uint64_t bytes = static_cast<std::uint64_t>(st.st_size);
  if (S_ISBLK(st.st_mode)) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    bytes = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  }
  const std::uint64_t sectors = bytes / kImageSectorBytes;
  if (sectors < kMinImageSectors) {
    error = path + ": not a card image (" + std::to_string(bytes) + " bytes; a card has at least " +
            std::to_string(kMinImageSectors * kImageSectorBytes) + ")";
    ::close(fd);
    return false;
  }
  fd_ = fd;
  readOnly_ = readOnly;
  path_ = path;
  fileSectors_ = sectors;
  sectors_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, kMaxImageSectors));
  return true;
}

void CardImage::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  sectors_ = 0;
  fileSectors_ = 0;
}

bool CardImage::ReadSector(std::uint32_t lba, std::span<std::uint8_t, kImageSectorBytes> out) const {
  if (fd_ < 0 || lba >= sectors_) return false;
  const off_t offset = static_cast<off_t>(lba) * kImageSectorBytes;
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool CardImage::WriteSector(std::uint32_t lba, std::span<const std::uint8_t, kImageSectorBytes> data) {
  if (fd_ < 0 || readOnly_ || lba >= sectors_) return false;
  const off_t offset = static_cast<off_t>(lba) * kImageSectorBytes;
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ::pwrite(fd_, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool CreateBlankCardImage(const std::string& path, std::uint32_t megabytes, std::string& error) {
  if (megabytes == 0 || megabytes > kMaxBlankCardMegabytes) {
    error = "card size must be 1 to " + std::to_string(kMaxBlankCardMegabytes) + " MB";
    return false;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = Why(path, errno);
    return false;
  }
  const off_t bytes = static_cast<off_t>(megabytes) * 1024 * 1024;
  if (::ftruncate(fd, bytes) != 0) {
    error = Why(path, errno);
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  if (::close(fd) != 0) {
    error = Why(path, errno);
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

}  // namespace sondesk
