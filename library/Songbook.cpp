#include "library/Songbook.h"

#include <algorithm>
#include <array>
#include <tuple>

#include "midi/PlayerCharset.h"

namespace sondesk {

namespace {

// Windows-1252 letters 0xC0-0xFF without their accents, upper case; 0 where no letter stands.
constexpr std::array<char, 64> kFoldHigh = {
    'A', 'A', 'A', 'A', 'A', 'A', 'A', 'C', 'E', 'E', 'E', 'E', 'I', 'I', 'I', 'I',  // C0-CF
    'D', 'N', 'O', 'O', 'O', 'O', 'O', 0,   'O', 'U', 'U', 'U', 'U', 'Y', 'T', 'S',  // D0-DF
    'A', 'A', 'A', 'A', 'A', 'A', 'A', 'C', 'E', 'E', 'E', 'E', 'I', 'I', 'I', 'I',  // E0-EF
    'D', 'N', 'O', 'O', 'O', 'O', 'O', 0,   'O', 'U', 'U', 'U', 'U', 'Y', 'T', 'Y',  // F0-FF
};

// A byte as the book compares it: letters folded, everything else as it is.
unsigned char Fold(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 0xC0 && kFoldHigh[c - 0xC0] != 0) return static_cast<unsigned char>(kFoldHigh[c - 0xC0]);
  if (c == 0x8A || c == 0x9A) return 'S';  // Š š
  if (c == 0x8E || c == 0x9E) return 'Z';  // Ž ž
  if (c == 0x9F) return 'Y';               // Ÿ
  return c;
}

bool IsLetter(unsigned char folded) {
  return folded >= 'A' && folded <= 'Z';
}

// The key texts sort by: folded, leading blanks skipped. Text ties fall back to the bytes, so the
// order never depends on the order the list came in.
std::string SortKey(const std::string& text) {
  std::string key;
  key.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  for (; i < text.size(); ++i) key.push_back(static_cast<char>(Fold(static_cast<unsigned char>(text[i]))));
  return key;
}

struct Keyed {
  std::string first, second;
  std::size_t song;
};

std::vector<std::size_t> Order(const std::vector<SongbookSong>& songs, bool byPerformer) {
  std::vector<Keyed> keyed;
  keyed.reserve(songs.size());
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const SongbookSong& s = songs[i];
    keyed.push_back({SortKey(byPerformer ? s.performer : s.title), SortKey(byPerformer ? s.title : s.performer), i});
  }
  std::sort(keyed.begin(), keyed.end(), [&songs](const Keyed& a, const Keyed& b) {
    // "#" (digits, signs, nothing) files before A; letters after it in their order.
    const bool aLetter = !a.first.empty() && IsLetter(static_cast<unsigned char>(a.first[0]));
    const bool bLetter = !b.first.empty() && IsLetter(static_cast<unsigned char>(b.first[0]));
    return std::tie(aLetter, a.first, a.second, songs[a.song].number, a.song) <
           std::tie(bLetter, b.first, b.second, songs[b.song].number, b.song);
  });
  std::vector<std::size_t> order;
  order.reserve(keyed.size());
  for (const Keyed& k : keyed) order.push_back(k.song);
  return order;
}

void AddPart(Songbook& book, int part, const std::vector<std::size_t>& order, int linesPerPage) {
  const auto& songs = book.songs;
  book.pages.push_back({part, {}});
  book.pages.back().lines.push_back({SongbookLineKind::PartTitle, 0, {}});
  std::string letter;
  bool first = true;
  for (std::size_t song : order) {
    const SongbookSong& s = songs[song];
    const std::string initial = SongbookInitial(part == 0 ? s.title : s.performer);
    const bool newLetter = first || initial != letter;
    first = false;
    letter = initial;
    // A heading needs its first song beside it on the same page.
    const std::size_t needed = newLetter ? 2 : 1;
    if (book.pages.back().lines.size() + needed > static_cast<std::size_t>(linesPerPage)) {
      book.pages.push_back({part, {}});
    }
    if (newLetter) book.pages.back().lines.push_back({SongbookLineKind::Letter, 0, initial});
    book.pages.back().lines.push_back({SongbookLineKind::Song, song, {}});
  }
}

}  // namespace

std::string SongbookInitial(const std::string& cp1252) {
  for (char ch : cp1252) {
    if (ch == ' ') continue;
    const unsigned char f = Fold(static_cast<unsigned char>(ch));
    return IsLetter(f) ? std::string(1, static_cast<char>(f)) : std::string("#");
  }
  return "#";
}

std::vector<SongbookSong> SongbookSongsOf(const SongList& list, bool cardNumbers) {
  std::vector<SongbookSong> songs;
  songs.reserve(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const SongEntry& e = list[i];
    SongbookSong s{cardNumbers ? e.songNumber() : static_cast<unsigned>(i + 1), e.title, e.performer, e.category};
    // Converted titles carry the player's letter codes; the book shows the letters.
    FromPlayerCharset(s.title);
    FromPlayerCharset(s.performer);
    FromPlayerCharset(s.category);
    songs.push_back(std::move(s));
  }
  return songs;
}

Songbook LayOutSongbook(std::vector<SongbookSong> songs, int linesPerPage) {
  // Fewer than three lines would leave no room for a part title, a heading and its song.
  linesPerPage = std::max(linesPerPage, 3);
  Songbook book;
  book.songs = std::move(songs);
  if (book.songs.empty()) return book;
  book.byTitle = Order(book.songs, false);
  book.byPerformer = Order(book.songs, true);
  AddPart(book, 0, book.byTitle, linesPerPage);
  AddPart(book, 1, book.byPerformer, linesPerPage);
  return book;
}

SongbookTexts SongbookTextsFor(int language) {
  // Italian, English, French, German, Spanish: the languages of the message table.
  static const std::array<SongbookTexts, 5> texts = {{
      {"Canzoniere", "Canzoni per titolo", "Canzoni per interprete", "N."},
      {"Songbook", "Songs by title", "Songs by performer", "No."},
      {"Recueil de chansons", "Chansons par titre", "Chansons par interpr\xE8te", "N\xB0"},
      {"Liederbuch", "Lieder nach Titel", "Lieder nach Interpret", "Nr."},
      {"Cancionero", "Canciones por t\xEDtulo", "Canciones por int\xE9rprete", "N.\xBA"},
  }};
  return texts[static_cast<std::size_t>(language >= 0 && language < 5 ? language : 1)];
}

}  // namespace sondesk
