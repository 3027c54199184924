#pragma once
// Karaoke files as they come from old disks and downloads: a Standard MIDI file inside a RIFF
// "RMID" wrapper or behind a MacBinary header, or one that went through a text-mode transfer
// which put a carriage return before every line feed. Such a file is converted from a repaired
// copy in the work folder, and the user is told once what was done.

#include <cstdint>
#include <string>
#include <vector>

namespace sondesk {

class Session;

enum class SourceRepair { None, RiffWrapper, MacBinary, TextModeTransfer };

// The MIDI file inside a RIFF "RMID" file or behind a MacBinary header; None when `image` is
// neither (a file that starts with "MThd" is never unwrapped).
SourceRepair UnwrapMidiImage(const std::vector<std::uint8_t>& image, std::vector<std::uint8_t>& midi);

// `image` with the carriage return taken out of every CR LF pair.
std::vector<std::uint8_t> WithoutCarriageReturns(const std::vector<std::uint8_t>& image);

// The file the conversion should read for `sourcePath`: the source itself, or a repaired copy
// "REPAIRED.MID" in `workDir` (then `repair` says what was done). A text-mode transfer is undone
// only when the source is damaged and the copy reads whole.
std::string RepairedSource(Session& session, const std::string& sourcePath, const std::string& workDir,
                           SourceRepair& repair);

// The user's line about a repair, naming the file.
std::string SourceRepairNote(SourceRepair repair, const std::string& fileName);

}  // namespace sondesk
