#pragma once
// The player's display shows accented letters through one-byte codes 1 to 31 (the control range,
// which its lyric lines never need otherwise). Song texts on the PC are Windows-1252; these
// functions translate between the two, in place.
//
// Codes 10 (the line feed that ends a page line), 27 and 28 carry no letter; every byte that is
// not in the table stays as it is, so each letter of the table survives a round trip.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sondesk {

// The player code of a Windows-1252 byte, or the byte itself when it has none.
std::uint8_t PlayerCodeOf(std::uint8_t cp1252);
// The Windows-1252 letter of a player code, or the byte itself when it is no letter code.
std::uint8_t LetterOfPlayerCode(std::uint8_t code);

// Convert `text` from offset `from` on (a meta-event image keeps its FF, type and length bytes
// unconverted by starting at 3).
void ToPlayerCharset(std::string& text, std::size_t from = 0);
void FromPlayerCharset(std::string& text, std::size_t from = 0);
void ToPlayerCharset(std::uint8_t* bytes, std::size_t size);
void FromPlayerCharset(std::uint8_t* bytes, std::size_t size);

// A song text (Windows-1252) cut down to what a lyric page can show, still in Windows-1252:
// printable ASCII, the letters that have a player code (they take it when they go on a page,
// each on its own, so that a letter's code is never read as a line end), carriage returns and
// line feeds (they end lines). Other accented letters (ì among them: the table has only Ì) and
// typographic marks become their plain ASCII form, one character for one; a tab becomes a blank;
// bytes that are no text at all (NUL and the other controls, DEL, the undefined bytes, 0xFF,
// which damaged files are full of) are left out. Page texts travel inside SysEx events, where a
// byte of 0x80 or more would end the event.
std::string ToPageText(std::string_view cp1252);

}  // namespace sondesk
