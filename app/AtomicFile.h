#pragma once
// Whole-file writes that never leave half a file: the data goes to a temporary file in the same
// folder, is flushed, and then replaces the target by a rename.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sondesk {

bool WriteFileAtomically(const std::string& path, std::string_view data);
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& data);
// The same rename, without waiting for the disk: a crash may lose the new file but never leaves
// half of it under the target's name. For outputs the user can make again (a bare stream, a
// work file), where a sync per file would cost more than the work.
bool WriteFileReplacing(const std::string& path, std::string_view data);
bool WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& data);

// The whole file, or false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out);
bool ReadWholeFile(const std::string& path, std::string& out);

// A temporary name beside `path` for a write that ends with a rename onto it.
std::string TemporarySibling(const std::string& path);

}  // namespace sondesk
