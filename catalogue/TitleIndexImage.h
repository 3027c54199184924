#pragma once
// INDEX0.DAT held in memory: the playlists refer to songs by their record position in it.

#include <cstdint>
#include <vector>

#include "catalogue/CatalogueRecords.h"

namespace sondesk {

class TitleIndexImage {
 public:
  static constexpr std::size_t kCapacity = 16384;  // records, the terminator included

  // The records of a whole INDEX0.DAT, at most kCapacity of them; a cut last record is dropped.
  void Assign(const std::vector<std::uint8_t>& fileBytes);
  void Clear() { records_.clear(); }

  // Records held, the terminator included.
  std::size_t count() const { return records_.size(); }
  const CatalogueRecord& operator[](std::size_t i) const { return records_[i]; }
  std::uint16_t SongNumberAt(std::size_t i) const { return RecordNumber(records_[i].data()); }

 private:
  std::vector<CatalogueRecord> records_;
};

// Finds the first position of a song number among the first `limit` records of an image, in
// constant time per question: the playlists ask it for every entry of every playlist.
class TitlePositionLookup {
 public:
  TitlePositionLookup(const TitleIndexImage& image, std::size_t limit);
  // -1 when the song number is not among them.
  int Find(std::uint16_t songNumber) const { return first_[songNumber]; }

 private:
  std::vector<std::int32_t> first_;
};

}  // namespace sondesk
