#pragma once
// The preview of a song's lyric pages, "TEXT.TXT": one box of four lines per page, drawn with the
// box characters of code page 437. The letters are written in code page 437 as well, turned back
// from the player's codes, so the whole file reads in one code page.

#include <string>
#include <string_view>

#include "midi/LyricPages.h"

namespace sondesk {

// The preview file's bytes (code page 437).
std::string LyricPreviewText(const LyricLayout& layout);

// Code page 437 text as UTF-8, for the terminal.
std::string Cp437ToUtf8(std::string_view text);

}  // namespace sondesk
