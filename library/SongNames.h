#pragma once
// How a song file's name becomes its name in the library and its key in the song catalogue.
//
// Song names are upper case, as the player and the catalogue know them, but only the name is
// turned to upper case: the folders of a path on a case-sensitive file system stay as they are.

#include <string>
#include <string_view>

#include "midi/SongTexts.h"

namespace sondesk {

bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);

// Gives a name the extension "MF3": "A." -> "A.MF3", "A.MID" -> "A.MF3", "A" -> "A.MF3". Only a
// dot after the last folder separator counts as the start of an extension.
std::string SetExtensionMf3(std::string_view name);

// The file name of `path` without its folder and without its extension ("/x/Song.v2.kar" -> "Song.v2").
std::string FileStem(std::string_view path);

// A file name (UTF-8, as names are on this system) in upper case, accented letters included
// ("Perché così" -> "PERCHÉ COSÌ"); characters beyond the Western code page stay as they are.
std::string UpperFileName(std::string_view name);

// The library name of a source file: its stem in upper case with the extension "MF3"
// ("/x/Song v1.2.mid" -> "SONG V1.2.MF3"). UTF-8, like the file name it is.
std::string SongNameOf(std::string_view sourcePath);

// The stem of `path` in upper case as a header field or a catalogue text holds it: Windows-1252.
std::string HeaderNameOf(std::string_view path);

// The catalogue key of a song file: its stem in upper case followed by ".MID", whatever the
// file's own extension ("x.kar" -> "X.MID"); Windows-1252.
std::string CatalogueKeyOf(std::string_view songPath);

// True for a file the import takes as an MF3 song rather than a MIDI file to convert.
bool IsMf3Name(std::string_view path);

}  // namespace sondesk
