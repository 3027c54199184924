#pragma once
// INDEX0.DAT held in memory: the playlists refer to songs by their record position in it.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "catalogue/CatalogueRecords.h"

namespace sondesk {

class TitleIndexImage {
 public:
  static constexpr std::size_t kCapacity = 16384;  // records, the terminator included

  // The records of a whole INDEX0.DAT, at most kCapacity of them; a cut last record is dropped.
  // The file's bytes are kept as they were read, not copied.
  void Assign(std::vector<std::uint8_t>&& fileBytes);
  void Assign(const std::vector<std::uint8_t>& fileBytes) { Assign(std::vector<std::uint8_t>(fileBytes)); }
  void Clear() { bytes_.clear(); }
  // Empties the image and gives its bytes, whose room the next read reuses.
  std::vector<std::uint8_t> TakeBytes() { return std::move(bytes_); }

  // Records held, the terminator included.
  std::size_t count() const { return bytes_.size() / kCatalogueRecordSize; }
  const std::uint8_t* RecordAt(std::size_t i) const { return bytes_.data() + i * kCatalogueRecordSize; }
  std::uint16_t SongNumberAt(std::size_t i) const { return RecordNumber(RecordAt(i)); }

 private:
  std::vector<std::uint8_t> bytes_;  // whole records only
};

// Finds the first position of a song number among the first `limit` records of an image, in
// constant time per question: the playlists ask it for every entry of every playlist.
class TitlePositionLookup {
 public:
  TitlePositionLookup(const TitleIndexImage& image, std::size_t limit);
  // -1 when the song number is not among them.
  int Find(std::uint16_t songNumber) const { return first_[songNumber]; }

 private:
  // Positions stay below the image's capacity, so half the table a wider type would take.
  static_assert(TitleIndexImage::kCapacity <= 32768);
  std::unique_ptr<std::int16_t[]> first_;
};

}  // namespace sondesk
