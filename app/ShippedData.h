#pragma once
// The data files the program ships (MBRPBR.DAT, MIDI.DBF, Artist.dat, genere.dat, SETUPDEF.DAT,
// SONVAR.MHX) and the files it writes beside them, found the same way by every caller.
//
// A file is looked for in the program folder of the settings (Installpath), then in the per-user
// program folder (a writable one first, since it holds the user's own copies), then in the installed data folder (<prefix>/share/sondesk/program, as configured
// at build time and as found relative to the running program, so a moved installation still works),
// then in the build tree. What the program writes or appends to goes to a writable program folder,
// never into an installation, which may be read-only: the shipped copy is copied there first.

#include <string>
#include <vector>

namespace sondesk {

class Session;

inline constexpr const char* kBootTemplateName = "MBRPBR.DAT";
inline constexpr const char* kFirmwareFileName = "SONVAR.MHX";
inline constexpr const char* kDefaultSetupName = "SETUPDEF.DAT";

// The folders searched, in order, without repeats; folders that do not exist are left out.
std::vector<std::string> ProgramDataFolders(const Session& session);

// The first existing file `name` of those folders; "" when none holds it.
std::string FindProgramFile(const Session& session, const std::string& name);

// True for the installed data folders (not the build tree's), which the program never writes.
bool IsInstalledDataFolder(const std::string& folder);

// Where the program writes its own files: the settings' program folder when it can be written
// (made when missing), else the per-user program folder. "" when neither can be.
std::string WritableProgramFolder(const Session& session);

// `name` in the writable program folder, ready to be written or appended to: when it is not there
// yet but a shipped copy is found, that copy is made first. "" when no folder can be written.
std::string ProgramFileForWriting(const Session& session, const std::string& name);

// The installed data folders of this program: the configured one and the one beside the running
// program (bin/../share/sondesk/program), and the build tree's program folder.
std::vector<std::string> InstalledDataFolders();

}  // namespace sondesk
