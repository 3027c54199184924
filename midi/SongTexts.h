#pragma once
// The texts a conversion finds in a song: title and author from the track names, copyright and
// publisher from the copyright event, the first text event, and the rule that picks the title.
// All texts are Windows-1252 bytes, as the song holds them.

#include <string>

namespace sondesk {

struct SongTexts {
  // The work buffers of the original held 255 characters and a terminator.
  static constexpr std::size_t kBufferChars = 255;
  static constexpr std::size_t kFieldChars = 31;  // what an MF3 header field keeps

  std::string songTitle;
  std::string songAuthor;
  std::string songPublisher;
  std::string songCopyright;
  std::string copyrightCopy;
  std::string firstText;
  bool titleTaken = false;
  bool publisherFound = false;
  bool firstTextTaken = false;

  void Clear() { *this = SongTexts{}; }

  // Copyright event: kept whole; a company name behind a ';' in the 33rd place is the publisher.
  void ParseCopyright(const std::string& text);
  // Track name event, while no title has been taken.
  void ParseTrackName(const std::string& text);
  // The first text event of the song.
  void TakeFirstText(const std::string& text);
  // The title rule at the end of a conversion: `fileName` is the source's name without folder
  // and extension. The result is cut to 31 characters and in upper case (the player's character
  // set is applied by the caller).
  void ChooseTitle(const std::string& fileName);
};

// Helpers shared with the library's text handling.
std::string TrimBlanks(const std::string& text);
std::string UpperAscii(std::string text);
// Upper case for Windows-1252 text, the accented letters included (ß has no capital and stays).
std::string UpperCp1252(std::string text);
std::string CutTo(const std::string& text, std::size_t chars);
// Characters other than blanks among the first `within` characters.
std::size_t NonBlankCount(const std::string& text, std::size_t within = std::string::npos);
// The file name of a path without folder and extension ("/a/b/SONG.KAR" gives "SONG").
std::string StemOf(const std::string& path);

}  // namespace sondesk
