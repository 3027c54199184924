#pragma once
// The card image behind the virtual player: a plain file of 512-byte sectors, sector 0 first, as
// dd would copy it off a Compact Flash card (so mtools and fsck.fat read it directly).

#include <cstdint>
#include <span>
#include <string>

namespace sondesk {

inline constexpr std::uint32_t kImageSectorBytes = 512;
// The link addresses sectors with 24 bits and keeps 0xFFFFFF for the identification block.
inline constexpr std::uint64_t kMaxImageSectors = 0xFFFFFF;
// Below one cylinder of the smallest geometry there is no card to speak of.
inline constexpr std::uint64_t kMinImageSectors = 64;

class CardImage {
 public:
  CardImage() = default;
  ~CardImage();
  CardImage(const CardImage&) = delete;
  CardImage& operator=(const CardImage&) = delete;
  CardImage(CardImage&& other) noexcept;
  CardImage& operator=(CardImage&& other) noexcept;

  // Opens for reading and writing; an image that may only be read is opened read-only and refuses
  // writes. False with `error` when the file is missing, unreadable or too small to be a card.
  bool Open(const std::string& path, std::string& error);
  void Close();

  bool isOpen() const { return fd_ >= 0; }
  bool readOnly() const { return readOnly_; }
  const std::string& path() const { return path_; }
  // Whole sectors of the file that the link can address; a partial last sector is not counted.
  std::uint32_t sectorCount() const { return sectors_; }
  // Sectors of the file, counted whether the link can address them or not.
  std::uint64_t fileSectors() const { return fileSectors_; }

  bool ReadSector(std::uint32_t lba, std::span<std::uint8_t, kImageSectorBytes> out) const;
  // Returns only once the sector is in the file (the kernel's page cache, seen by every reader).
  bool WriteSector(std::uint32_t lba, std::span<const std::uint8_t, kImageSectorBytes> data);

 private:
  int fd_ = -1;
  bool readOnly_ = false;
  std::string path_;
  std::uint32_t sectors_ = 0;
  std::uint64_t fileSectors_ = 0;
};

// A blank card of `megabytes` MiB (all sectors zero, as a card fresh from its maker before any
// format), made sparse. Refuses to replace an existing file. False with `error`.
bool CreateBlankCardImage(const std::string& path, std::uint32_t megabytes, std::string& error);

// The largest blank card the link can address whole, in MiB.
inline constexpr std::uint32_t kMaxBlankCardMegabytes = static_cast<std::uint32_t>(kMaxImageSectors / 2048);

}  // namespace sondesk
