#pragma once
// The songbook a karaoke host hands to singers: every song of a list, first by title and then by
// performer, each line with the number the singer types on the player's keypad. This is the book's
// layout (order, letter headings, pages); painting it into a PDF is the desktop side's business.

#include <cstdint>
#include <string>
#include <vector>

#include "app/SongEntry.h"

namespace sondesk {

// Lines of song text on one page, below the page header and above the footer. Fixed, so that the
// book has the same pages wherever it is made.
inline constexpr int kSongbookLinesPerPage = 56;

struct SongbookSong {
  unsigned number = 0;  // the card's song number (a library song: its place in the list, from 1)
  std::string title;    // Windows-1252, as the lists hold them
  std::string performer;
  std::string category;
};

enum class SongbookLineKind : std::uint8_t { PartTitle, Letter, Song };

struct SongbookLine {
  SongbookLineKind kind = SongbookLineKind::Song;
  std::size_t song = 0;  // index into Songbook::songs for a song line
  std::string heading;   // the letter ("A", "#") of a letter line
};

struct SongbookPage {
  int part = 0;  // 0 by title, 1 by performer
  std::vector<SongbookLine> lines;
};

struct Songbook {
  std::vector<SongbookSong> songs;
  std::vector<std::size_t> byTitle;      // song indexes in the first part's order
  std::vector<std::size_t> byPerformer;  // and in the second's
  std::vector<SongbookPage> pages;
};

// The songs of a list: the card's by their song numbers, the library's by their places.
std::vector<SongbookSong> SongbookSongsOf(const SongList& list, bool cardNumbers);

// Orders the songs (letters and digits compared without case or accents, so "Émilie" stands among
// the E's), sets a letter heading before each new initial and cuts the lines into pages of
// `linesPerPage`: each part starts a page with its title, and a heading never ends a page.
Songbook LayOutSongbook(std::vector<SongbookSong> songs, int linesPerPage = kSongbookLinesPerPage);

// The heading a text files under: its first letter without accent, upper case; "#" for a digit, a
// sign or an empty text.
std::string SongbookInitial(const std::string& cp1252);

// The book's own texts in the five languages of the message table (index: language 0-4).
struct SongbookTexts {
  std::string bookTitle;   // "Songbook"
  std::string byTitle;     // "Songs by title"
  std::string byPerformer; // "Songs by performer"
  std::string number;      // "No."
};
SongbookTexts SongbookTextsFor(int language);

}  // namespace sondesk
