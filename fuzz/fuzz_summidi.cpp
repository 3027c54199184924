// Outside bytes handed to summidi as a floppy's song catalogue: the check must end cleanly, and
// a repaired file must pass a second check with nothing left to repair.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/Summidi.h"

using namespace sondesk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/fuzz_summidi." + std::to_string(::getpid()) + ".dat";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const SummidiReport first = CheckSongCatalogue(path, {});
  if (!first.backupPath.empty()) {
    const SummidiReport second = CheckSongCatalogue(path, {});
    if (second.repaired != 0) __builtin_trap();
    ::unlink(first.backupPath.c_str());
  }
  ::unlink(path.c_str());
  return 0;
}
