#pragma once
// Whole-file writes that never leave half a file: the data goes to a temporary file in the same
// folder, is flushed, and then replaces the target by a rename.

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
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

// Writes all `size` bytes to `fd`, through short writes and interruptions. False on an error or a
// full disk.
bool WriteFully(int fd, const void* data, std::size_t size);

// Every outside file we read is small (songs, catalogue files, settings, name lists); a cap keeps a
// path that names a device or a huge file from filling memory.
inline constexpr std::size_t kReadCap = 64u << 20;

// The whole file, or false when it cannot be read, is not a regular file (a folder, a FIFO, a device
// such as /dev/zero) or is larger than maxBytes.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxBytes = kReadCap);
bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes = kReadCap);

// A file descriptor open for reading, or -1. The open never blocks (a FIFO with no writer would hang
// a plain open) and anything but a regular file is closed again before a byte is read.
int OpenRegularFileForReading(const std::string& path);
// The same, with the file's status as the open found it.
int OpenRegularFileForReading(const std::string& path, struct stat& st);
// The same for `name` under the folder open as `dirFd` (AT_FDCWD for the working folder).
int OpenRegularFileForReadingAt(int dirFd, const char* name, struct stat& st);

// The same as a stdio stream ("rb"), or nullptr.
std::FILE* OpenRegularFile(const std::string& path);

// Why `path` cannot serve as a file to read: empty when it is a regular file or does not exist.
std::string RegularFileProblem(const std::string& path, std::size_t maxBytes = kReadCap);

// A temporary name beside `path` for a write that ends with a rename onto it.
std::string TemporarySibling(const std::string& path);
// The process number in a name TemporarySibling made ("<name>.tmp<pid>_<n>"), or 0 for any other
// name: a temporary whose process is gone was left by a cut.
long TemporaryOwner(const char* name);

}  // namespace sondesk
