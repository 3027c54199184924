#include "app/ShippedData.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "app/Session.h"

#ifndef SONDESK_INSTALLED_DATA_DIR
#define SONDESK_INSTALLED_DATA_DIR ""
#endif
#ifndef SONDESK_DATA_INSTALL_SUBDIR
#define SONDESK_DATA_INSTALL_SUBDIR "share/sondesk/program"
#endif
#ifndef SONDESK_BUILD_DATA_DIR
#define SONDESK_BUILD_DATA_DIR ""
#endif

namespace sondesk {

namespace {

std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

std::string Canonical(const std::string& folder) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::weakly_canonical(folder, ec);
  return ec ? folder : p.string();
}

void AddFolder(std::vector<std::string>& folders, const std::string& folder) {
  if (folder.empty() || !IsFolder(folder)) return;
  const std::string c = Canonical(folder);
  for (const std::string& f : folders) {
    if (f == c) return;
  }
  folders.push_back(c);
}

bool CanWriteIn(const std::string& folder) {
  if (folder.empty() || !MakeFolders(folder)) return false;
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::vector<std::string> InstalledDataFolders() {
  std::vector<std::string> folders;
  AddFolder(folders, SONDESK_INSTALLED_DATA_DIR);
  const std::string exeDir = ExecutableFolder();
  if (!exeDir.empty()) {
    AddFolder(folders, exeDir + "/../" SONDESK_DATA_INSTALL_SUBDIR);
    // The build tree keeps the data files in <build>/program, beside the programs' folders.
    AddFolder(folders, exeDir + "/../program");
  }
  AddFolder(folders, SONDESK_BUILD_DATA_DIR);
  return folders;
}

std::vector<std::string> ProgramDataFolders(const Session& session) {
  std::vector<std::string> folders;
  // A user's own copy (a name list with names added) wins over the settings' folder when that one
  // is an installation the program cannot write.
  for (const std::string& f : {session.programDir(), session.paths().programDir}) {
    if (IsFolder(f) && ::access(f.c_str(), W_OK | X_OK) == 0) AddFolder(folders, f);
  }
  AddFolder(folders, session.programDir());
  AddFolder(folders, session.paths().programDir);
  for (const std::string& f : InstalledDataFolders()) AddFolder(folders, f);
  return folders;
}

std::string FindProgramFile(const Session& session, const std::string& name) {
  for (const std::string& folder : ProgramDataFolders(session)) {
    const std::string path = JoinPath(folder, name);
    if (IsFile(path)) return path;
  }
  return "";
}

bool IsInstalledDataFolder(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string c = Canonical(folder);
  for (const std::string& f : InstalledDataFolders()) {
    if (f == c && f != Canonical(SONDESK_BUILD_DATA_DIR) && f != Canonical(ExecutableFolder() + "/../program")) {
      return true;
    }
  }
  return false;
}

std::string WritableProgramFolder(const Session& session) {
  // The settings' folder may be an installation (set by hand, or a Windows habit): never written,
  // even by a user who could.
  if (!IsInstalledDataFolder(session.programDir()) && CanWriteIn(session.programDir())) return session.programDir();
  if (CanWriteIn(session.paths().programDir)) return session.paths().programDir;
  return "";
}

std::string ProgramFileForWriting(const Session& session, const std::string& name) {
  const std::string folder = WritableProgramFolder(session);
  if (folder.empty()) return "";
  const std::string target = JoinPath(folder, name);
  if (IsFile(target)) return target;
  const std::string shipped = FindProgramFile(session, name);
  if (!shipped.empty()) {
    std::error_code ec;
    std::filesystem::copy_file(shipped, target, ec);
    // An installed copy is often read-only; the user's copy is for writing.
    std::filesystem::permissions(target,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
  }
  return target;
}

}  // namespace sondesk
