#include "catalogue/TitleIndexImage.h"

#include <algorithm>
#include <cstring>

namespace sondesk {

void TitleIndexImage::Assign(std::vector<std::uint8_t>&& bytes) {
  bytes_ = std::move(bytes);
  bytes_.resize(std::min(bytes_.size() / kCatalogueRecordSize, kCapacity) * kCatalogueRecordSize);
}

TitlePositionLookup::TitlePositionLookup(const TitleIndexImage& image, std::size_t limit)
    : first_(new std::int16_t[65536]) {
  std::memset(first_.get(), 0xFF, 65536 * sizeof(std::int16_t));  // -1 everywhere
  limit = std::min(limit, image.count());
  // Walk backwards so the first occurrence is the one that stays.
  for (std::size_t i = limit; i-- > 0;) first_[image.SongNumberAt(i)] = static_cast<std::int16_t>(i);
}

}  // namespace sondesk
