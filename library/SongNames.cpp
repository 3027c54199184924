#include "library/SongNames.h"

#include "messages/Cp1252.h"

namespace sondesk {

namespace {
char UpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}
}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  }
  return true;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string SetExtensionMf3(std::string_view name) {
  std::string out(name);
  if (!out.empty() && out.back() == '.') return out + "MF3";
  const std::size_t slash = out.find_last_of('/');
  const std::size_t dot = out.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    out.resize(dot + 1);
    return out + "MF3";
  }
  return out + ".MF3";
}

std::string FileStem(std::string_view path) {
  std::string_view name = FileNameOf(path);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

// The stem already lost its extension: giving it one again by the extension rule would cut a
// dotted name ("SONG V1.2") a second time, and the song would no longer match its catalogue key.
std::string UpperFileName(std::string_view name) {
  // A name that is no UTF-8 is taken for the Western code page, as the rest of the system does.
  if (!IsValidUtf8(name)) return UpperCp1252(std::string(name));
  std::string out;
  out.reserve(name.size());
  std::size_t i = 0;
  while (i < name.size()) {
    const auto lead = static_cast<std::uint8_t>(name[i]);
    const std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string_view one = name.substr(i, len);
    i += len;
    const std::string cp1252 = Utf8ToCp1252(one);
    // Characters the code page lacks (it would give '?' or a folded letter) stay as they are.
    if (cp1252.size() == 1 && Cp1252ToUtf8(cp1252) == one) {
      out += Cp1252ToUtf8(UpperCp1252(cp1252));
    } else {
      out += one;
    }
  }
  return out;
}

std::string SongNameOf(std::string_view sourcePath) {
  return UpperFileName(FileStem(sourcePath)) + ".MF3";
}

std::string HeaderNameOf(std::string_view path) {
  return Utf8ToCp1252(UpperFileName(FileStem(path)));
}

std::string CatalogueKeyOf(std::string_view songPath) {
  return HeaderNameOf(songPath) + ".MID";
}

bool IsMf3Name(std::string_view path) {
  return EndsWithIgnoringCase(FileNameOf(path), ".MF3");
}

}  // namespace sondesk
