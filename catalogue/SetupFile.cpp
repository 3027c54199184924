#include "catalogue/SetupFile.h"

#include <algorithm>
#include <cstring>

namespace sondesk {

int ReadPlayerOptions(Catalogue& cat) {
  Session& s = cat.session();
  s.BusyCursorOn();
  std::vector<std::uint8_t> bytes;
  bool ok;
  {
    CardAccess access(cat.files());
    ok = cat.files().ReadFileStart(kRootFolder, "SETUP.DAT", kPlayerOptionsSize, bytes);
  }
  // An empty SETUP.DAT changes nothing (and memcpy must not see its null buffer).
  if (ok && !bytes.empty()) {
    std::memcpy(cat.options.bytes.data(), bytes.data(), std::min(bytes.size(), kPlayerOptionsSize));
  }
  s.BusyCursorOff();
  return ok ? 1 : 0;
}

int WritePlayerOptions(Catalogue& cat) {
  Session& s = cat.session();
  std::unique_ptr<WriteLock> lock;
  if (!cat.BeginWrite(lock)) return 0;
  s.BusyCursorOn();
  const std::vector<std::uint8_t> bytes(cat.options.bytes.begin(), cat.options.bytes.end());
  bool ok;
  {
    CardAccess access(cat.files(), false);
    ok = cat.files().ReplaceFile(kRootFolder, "SETUP.DAT", bytes);
  }
  s.BusyCursorOff();
  if (!ok) {
    // Told over the desktop, with OK alone.
    s.ShowBox(FormatText(s.Text(cat.linkMode() ? 10 : 11), "SETUP.DAT"), 22, BoxIcon::Warning,
              BoxButtons::Ok);
    return 0;
  }
  return 1;
}

}  // namespace sondesk
