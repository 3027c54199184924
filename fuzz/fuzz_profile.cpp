// Settings files come from anywhere (an old Windows install, a hand edit): read any bytes, write a
// key back, and the rest of the file must survive untouched.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/AtomicFile.h"
#include "app/ProfileFile.h"
#include "app/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    char dir[] = "/tmp/fuzz-profile-XXXXXX";
    if (::mkdtemp(dir) == nullptr) std::abort();
    return std::string(dir) + "/Sondesk.INI";
  }();
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (!sondesk::WriteFileAtomically(path, input)) return 0;

  sondesk::Settings settings(path);
  settings.Load();
  (void)sondesk::ReadProfileEntries(path);
  (void)sondesk::GetPrivateProfileStruct(path, "ListSettings", "List1_Width", 40);

  if (!sondesk::WriteProfileInt(path, "Settings", "CheckInterpret", 7)) return 0;
  std::string after;
  if (!sondesk::ReadWholeFile(path, after)) std::abort();
  // Writing one key only ever adds or replaces that key's line; the bytes before the first
  // section header stay where they were.
  const std::size_t head = input.find('[');
  if (head != std::string::npos && after.compare(0, head, input, 0, head) != 0) std::abort();
  if (sondesk::GetPrivateProfileInt(path, "Settings", "CheckInterpret", 0) != 7) std::abort();
  return 0;
}
