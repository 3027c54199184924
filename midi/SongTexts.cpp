#include "midi/SongTexts.h"

#include <cstdint>

namespace sondesk {

namespace {

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The 33rd character is the first one behind the 32 characters of a header-sized field: the
// player's own tools write "<copyright>;<publisher>" and "<title>;<author>" that way.
constexpr std::size_t kSplitAt = 32;

}  // namespace

std::string TrimBlanks(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsWhite(text[b])) ++b;
  while (e > b && IsWhite(text[e - 1])) --e;
  return text.substr(b, e - b);
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string UpperCp1252(std::string text) {
  for (char& c : text) {
    const auto b = static_cast<std::uint8_t>(c);
    std::uint8_t u = b;
    if (b >= 'a' && b <= 'z') {
      u = static_cast<std::uint8_t>(b - 'a' + 'A');
    } else if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {
      u = static_cast<std::uint8_t>(b - 0x20);  // à..þ to À..Þ, the division sign aside
    } else if (b == 0x9A || b == 0x9C || b == 0x9E) {
      u = static_cast<std::uint8_t>(b - 0x10);  // š œ ž
    } else if (b == 0xFF) {
      u = 0x9F;  // ÿ
    }
    c = static_cast<char>(u);
  }
  return text;
}

std::string CutTo(const std::string& text, std::size_t chars) {
  return text.size() > chars ? text.substr(0, chars) : text;
}

std::size_t NonBlankCount(const std::string& text, std::size_t within) {
  std::size_t n = 0;
  const std::size_t end = within < text.size() ? within : text.size();
  for (std::size_t i = 0; i < end; ++i) n += text[i] != ' ' ? 1 : 0;
  return n;
}

std::string StemOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

void SongTexts::ParseCopyright(const std::string& text) {
  songCopyright = CutTo(text, kBufferChars);
  if (text.size() < kSplitAt + 1 || text.find(';') != kSplitAt) return;
  std::string publisher = UpperCp1252(text.substr(kSplitAt + 1));
  static const std::string kLeading = "0123456789,.-_: ";
  const std::size_t keep = publisher.find_first_not_of(kLeading);
  if (keep != std::string::npos && keep > 0) publisher.erase(0, keep);
  songPublisher = CutTo(TrimBlanks(publisher), kFieldChars);
  publisherFound = true;
}

void SongTexts::ParseTrackName(const std::string& text) {
  if (titleTaken) return;
  if (text.size() <= kSplitAt) {
    if (NonBlankCount(text) > 10) {
      songTitle = CutTo(text, kFieldChars);
      titleTaken = true;
    }
    return;
  }
  const std::size_t semi = text.find(';');
  songTitle = CutTo(UpperCp1252(TrimBlanks(text.substr(0, semi))), kFieldChars);
  titleTaken = true;
  if (semi != kSplitAt) return;
  std::string author = UpperCp1252(text.substr(semi + 1));
  if (author.find("MUSIC BY") != std::string::npos && author.size() >= 19) author.erase(0, 18);
  songAuthor = CutTo(TrimBlanks(author), kFieldChars);
}

void SongTexts::TakeFirstText(const std::string& text) {
  if (firstTextTaken) return;
  firstTextTaken = true;
  firstText = CutTo(text, kBufferChars);
}

void SongTexts::ChooseTitle(const std::string& fileName) {
  if (!(publisherFound && !songTitle.empty())) {
    const bool keep = fileName.size() < 9 && NonBlankCount(songTitle, 50) > 10;
    if (!keep) songTitle = fileName;
  }
  songTitle = UpperCp1252(CutTo(songTitle, kFieldChars));
}

}  // namespace sondesk
