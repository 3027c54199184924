#include "catalogue/TitleIndexImage.h"

#include <algorithm>
#include <cstring>

namespace sondesk {

static_assert(sizeof(CatalogueRecord) == kCatalogueRecordSize, "the image is read as one block");

void TitleIndexImage::Assign(const std::vector<std::uint8_t>& bytes) {
  const std::size_t n = std::min(bytes.size() / kCatalogueRecordSize, kCapacity);
  records_.resize(n);
  if (n != 0) std::memcpy(records_.data(), bytes.data(), n * kCatalogueRecordSize);
}

TitlePositionLookup::TitlePositionLookup(const TitleIndexImage& image, std::size_t limit)
    : first_(65536, -1) {
  limit = std::min(limit, image.count());
  // Walk backwards so the first occurrence is the one that stays.
  for (std::size_t i = limit; i-- > 0;) first_[image.SongNumberAt(i)] = static_cast<std::int32_t>(i);
}

}  // namespace sondesk
