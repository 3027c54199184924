#pragma once
// Inputs on which the song compression is measured and checked against the classic program: the
// kinds of data a codec meets (song payloads, text, random bytes, runs, table-like binary records)
// and a 5 MB mix of them. Generated from fixed seeds, so every run and every machine sees the same
// bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace sondesk::test {

struct CodecSample {
  std::string name;
  std::vector<std::uint8_t> data;
};

// A payload as the conversion writes it: format 0 at 480 ticks, every event with its status,
// two-byte note-offs, beat and bar markers, the player's lyric SysEx events and lyric metas.
std::vector<std::uint8_t> SyntheticPayload(unsigned seed, int bars, int channels);

// mixed_5MB, then 1 MiB each of midi, text, random, runs and table.
std::vector<CodecSample> GeneratedCodecSamples();

// The MIDI and karaoke files of the shared corpus beside the source tree (../shared/corpus), or of
// the tests' own corpus when that is not there; sorted by path.
std::vector<std::string> CorpusSongFiles(const std::string& sourceDir);

}  // namespace sondesk::test
