#pragma once
// Replacing the player's program: the firmware file fetched from the update server or picked on
// the PC, checked whole, shown by its version line and, when the user agrees, written through the
// player's loader (erase, then the S-records line by line), with up to four attempts.

#include <string>

namespace sondesk {

class Session;
class Link;

// The firmware file of the program folder, the default of every update.
std::string FirmwareFilePath(const Session& session);

// Fetches the update server's firmware file into `target`, which is replaced only when the new
// file is complete and valid. 1 when it was; 0 with `error`, and `invalid` set when a file did
// arrive but failed the check (`target` is then untouched as well).
int FetchFirmwareFile(Session& session, const std::string& target, std::string& error, bool& invalid);

// One attempt at writing `firmwarePath` (already checked) through the loader: 1 when the loader
// took every line, else 0 with `why`.
int ProgramFirmware(Session& session, Link& link, const std::string& firmwarePath, std::string& why);

enum class FirmwareOutcome {
  Updated,   // the loader took the whole file
  Declined,  // the user said No to the download's fallback or to the version
  NoFile,    // no file to send: none picked, or not one named SONVAR.MHX
  Invalid,   // the file failed its check (message 32); nothing reached the player
  Failed,    // four attempts failed (message 260), or the file could not be put in place
};

struct FirmwareUpdateResult {
  FirmwareOutcome outcome = FirmwareOutcome::Failed;
  std::string detail;  // the reason behind a failure, for the command line
  std::string version; // the version line of the file sent or offered
};

// The whole update command. With `namedFile` empty it runs as the menu command does: the download
// when WebUpdate is on, else (or when it fails) the question of message 29 and the open dialog.
// A `namedFile` (the command line's FILE) is checked and sent as it is, and the program folder's
// file is left alone.
FirmwareUpdateResult UpdateFirmware(Session& session, Link& link, const std::string& namedFile = "");

}  // namespace sondesk
