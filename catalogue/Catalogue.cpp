#include "catalogue/Catalogue.h"

namespace sondesk {

CatalogueWorkStore& Catalogue::workStore() {
  if (!work_) work_ = std::make_unique<CatalogueWorkStore>();
  return *work_;
}

}  // namespace sondesk
