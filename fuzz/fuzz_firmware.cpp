// Firmware files come from a web server or from wherever the user found one: the check must read
// any bytes without fault and say yes only to a file whose every line the loader will take. The
// same bytes are then fed to the virtual player's loader, as a careless sender would.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "emulator/VirtualFlash.h"
#include "link/FirmwareFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const sondesk::FirmwareCheck c = sondesk::CheckFirmwareBytes(std::span(data, size));
  if (c.valid) {
    if (c.count != c.declaredCount || c.sum != c.declaredSum || c.dataBytes == 0 || c.records < 3) std::abort();
    if (!c.reason.empty()) std::abort();
  } else if (c.reason.empty()) {
    std::abort();
  }

  // The lines after line 2 as the update sends them after HEXDWL.
  sondesk::VirtualFlash flash;
  const char* start = "HEXDWL\r";
  for (const char* p = start; *p; ++p) flash.TakeChar(static_cast<std::uint8_t>(*p));
  std::size_t line = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      ++line;
      continue;
    }
    if (line < 2) continue;
    flash.TakeChar(data[i]);
  }
  flash.TakeChar(13);
  return 0;
}
