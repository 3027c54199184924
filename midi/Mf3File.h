#pragma once
// MF3 song files: the 512-byte header, the payload's size word at offset 512, then the payload
// (a simplified Standard MIDI File) compressed with LZHUF.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "midi/Lzhuf.h"
#include "midi/Mf3Header.h"

namespace sondesk {

class Session;

inline constexpr std::size_t kMf3PayloadOffset = Mf3Header::kSize;  // where the size word sits

enum class Mf3Status {
  Ok,
  CannotOpen,    // the source could not be opened or read
  CannotCreate,  // the target could not be written
  NotMf3,        // shorter than a header, or the first four bytes are not "_MF3"
  Damaged,       // the size word or the compressed stream is damaged
  TooLarge,      // a payload too large for the 32-bit size fields
};
const char* Mf3StatusText(Mf3Status status);

// The file name field for a name as the user sees it: folder and extension removed, at most 47
// characters ("C:\songs\My Song.MF3" and "My Song.MF3" both give "My Song").
std::string Mf3FileNameOf(std::string_view name);

// The header the writer completes: `fileName` from `name` (cut to 47), `title` := `name` (cut to
// 31), publisher, author, performer and genre := "-". Sizes are not touched.
void PrepareMf3Header(Mf3Header& header, std::string_view name);

// In memory. Builds the whole MF3 file for `payload`: completes `header` as PrepareMf3Header does,
// sets `midiSize` and `fileSize`, and returns header, size word and stream. TooLarge (and an
// empty `file`) for a payload beyond the 32-bit size fields.
Mf3Status BuildMf3(Mf3Header& header, std::string_view name, std::span<const std::uint8_t> payload,
                   std::vector<std::uint8_t>& file);

// In memory. Splits an MF3 file into its header and decompressed payload. NotMf3 for a file
// shorter than a header or without the magic; Damaged for a missing size word or a damaged
// stream (then `payload` holds what was decoded before the damage).
Mf3Status DecodeMf3Bytes(std::span<const std::uint8_t> file, Mf3Header& header,
                         std::vector<std::uint8_t>& payload);

// Whether `file` is a whole MF3 song that may go to the card or into the library: a header with the
// magic, a size word, a stream that decodes to exactly that many bytes, and at least one byte of
// song. NotMf3 or Damaged otherwise, with the reason in `why`.
Mf3Status CheckMf3Song(std::span<const std::uint8_t> file, std::string& why);

// Compresses the plain payload file `payloadPath` into the MF3 file `targetPath`, with `header`
// as the conversion left it (use Mf3Header::Fresh() when there was none). `name` is the target's
// file name with its extension, as shown to the user. On return `header` is what the file holds.
// The file is written under a temporary name in the target's folder and renamed when complete,
// so a failure never leaves a half-written target and never harms an older file of that name.
// Failures show the shared boxes ("Cannot open %s" for the payload, "Cannot Create %s" for the
// target). Returns 0 on success, 1 on failure; `status` (optional) says why.
int WriteMf3(Session& session, const std::string& payloadPath, const std::string& targetPath,
             const std::string& name, Mf3Header& header, Mf3Status* status = nullptr);

// Decompresses the MF3 file `mf3Path` into the plain payload file `outputPath` (written as
// WriteMf3 writes: temporary name, then rename) and gives its header in `header`. A file that
// cannot be read, is not an MF3 file or holds a damaged stream gets "Cannot open %s" and no output
// file; one that cannot be written gets "Cannot Create %s". Returns 0 on success, 1 on failure;
// `status` (optional) says why.
int DecodeMf3(Session& session, const std::string& mf3Path, const std::string& outputPath, Mf3Header& header,
              Mf3Status* status = nullptr);

// DecodeMf3 into memory, for playback and the lyric tools: the same checks and boxes.
int DecodeMf3ToMemory(Session& session, const std::string& mf3Path, Mf3Header& header,
                      std::vector<std::uint8_t>& payload, Mf3Status* status = nullptr);

}  // namespace sondesk
