#include "cardfs/CardConnection.h"

#include "cardfs/ImageSectorDevice.h"
#include "cardfs/LinkSectorDevice.h"
#include "link/Link.h"

namespace sondesk {

std::unique_ptr<CardConnection> CardConnection::Open(Session& session, const std::string& imagePath,
                                                     const std::string& port, std::string& error) {
  std::unique_ptr<CardConnection> c(new CardConnection);
  if (!imagePath.empty()) {
    auto image = ImageSectorDevice::Open(imagePath, &session.progress(), error);
    if (!image) return nullptr;
    c->device_ = std::move(image);
  } else {
    auto link = OpenLink(session, port, error);
    if (!link) return nullptr;
    c->device_ = std::make_unique<LinkSectorDevice>(std::move(link), &session.progress());
    c->throughPlayer_ = true;
  }
  c->fs_ = std::make_unique<CardFileSystem>(session, *c->device_);
  return c;
}

}  // namespace sondesk
