// The main window's update command: the player's firmware goes out through the link the window
// holds while the player is connected, else through the port of the settings, as the player may be
// on the cable without a card the program could read (a player whose program is damaged).
#include <memory>

#include "gui/MainDlg.h"
#include "link/FirmwareUpdate.h"
#include "link/Link.h"

namespace sondesk {

void MainDlg::CmdUpdateFirmware() {
  Link* link = card_.playerConnected() ? card_.link() : nullptr;
  std::unique_ptr<Link> own;
  if (link == nullptr) {
    std::string error;
    own = OpenLink(session_, "", error);
    if (!own) {
      session_.ShowBox(error, 22, BoxIcon::Warning, BoxButtons::Ok);
      // Without a port every attempt fails, and message 260 then tells the user what to do.
      own = std::make_unique<Link>(session_);
    }
    link = own.get();
  }
  UpdateFirmware(session_, *link);
}

}  // namespace sondesk
