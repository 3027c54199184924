#pragma once
// "SZDD" files, the LZ-compressed form in which the song catalogue travels inside the installer:
// the 14-byte header ("SZDD", 88 F0 27 33, 'A', the replaced last letter of the name, the
// expanded length) and an LZSS stream over a 4,096-byte window filled with blanks. Expansion is
// libmspack's; the compressor is ours, for the build.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sondesk {

// The compressed form of `data`; `missingChar` is the letter that "_" stands for in the name
// ("MIDI.DB_" keeps 'F').
std::vector<std::uint8_t> SzddCompress(std::span<const std::uint8_t> data, char missingChar);

// "MIDI.DBF" -> "MIDI.DB_": the last letter of the name replaced by "_".
std::string SzddName(const std::string& name);

enum class SzddResult { Ok, ReadError, WriteError };

// Expands `source` into `target` with libmspack. ReadError when `source` cannot be opened or is
// no SZDD file, WriteError when `target` cannot be written.
SzddResult ExpandSzdd(const std::string& source, const std::string& target);

}  // namespace sondesk
