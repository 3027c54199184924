#include "catalogue/Catalogue.h"

namespace sondesk {

CatalogueWorkStore& Catalogue::workStore() {
  if (!work_) work_ = std::make_unique<CatalogueWorkStore>();
  return *work_;
}

SideWorker& Catalogue::sideWorker() {
  if (!side_) side_ = std::make_unique<SideWorker>();
  return *side_;
}

bool Catalogue::BeginWrite(std::unique_ptr<WriteLock>& lock, bool listNeeded) {
  if (!writeGuard_) return true;
  std::string error;
  if (writeGuard_(lock, error, listNeeded)) return true;
  lock.reset();
  session_->ShowBox(error, 21, BoxIcon::Stop, BoxButtons::Ok);
  return false;
}

}  // namespace sondesk
