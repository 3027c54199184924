// Texts from outside that become names: the name lists Artist.dat and genere.dat (read, then
// searched for a name), an MF3 header's file name turned into a library file name, a song file's
// name turned into its song number. Whatever the bytes: no crash, and a library name never leaves
// its folder.
//
// Input: any bytes; the first byte chooses how much of the rest is the name searched for.
// Seeds: fuzz/seeds/name_texts/.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/CardTransfers.h"
#include "catalogue/CatalogueCheck.h"
#include "library/NameLists.h"
#include "library/SongNames.h"
#include "midi/Mf3File.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    char pattern[] = "/tmp/fuzz_name_texts-XXXXXX";
    const char* d = ::mkdtemp(pattern);
    return std::string(d ? d : "/tmp") + "/Artist.dat";
  }();
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = std::min<std::size_t>(data[0], text.size());
  const std::string name = text.substr(0, cut);

  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const auto lines = sondesk::ReadNameList(path);
  sondesk::NameListCandidates(lines, name);

  const std::string library = sondesk::LibraryNameFromHeader(name);
  if (library.find('/') != std::string::npos || library.find('\\') != std::string::npos ||
      library.find("..") != std::string::npos || (!library.empty() && library.front() == '.'))
    std::abort();
  sondesk::Mf3FileNameOf(name);
  sondesk::SongNameOf(name);
  for (int folder = 0; folder < 31; ++folder) {
    const int n = sondesk::RecoverableSongNumber(name, folder);
    if (n >= 32768 || (n >= 0 && n % 31 != folder)) std::abort();
  }
  return 0;
}
