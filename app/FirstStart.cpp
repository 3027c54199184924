#include "app/FirstStart.h"

#include <cctype>
#include <cstdlib>

#include "app/ProfileFile.h"
#include "app/Session.h"

namespace sondesk {

int LanguageOfLocaleName(const std::string& locale) {
  std::string code;
  for (char c : locale) {
    if (!std::isalpha(static_cast<unsigned char>(c))) break;
    code += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (code == "it") return 0;
  if (code == "fr") return 2;
  if (code == "de") return 3;
  if (code == "es") return 4;
  return 1;
}

int LanguageOfLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') return LanguageOfLocaleName(v);
  }
  return 1;
}

FirstStartKeys SetUpFirstStart(const Paths& paths, int language) {
  const std::string ini = paths.IniPath();
  // One read for the three keys; only a first start writes, and only keys this read found missing.
  const ProfileSnapshot before(ini);
  auto lacks = [&before](const char* section, const char* key) {
    return before.GetString(section, key, "", 4096).empty();
  };
  FirstStartKeys wrote;
  const bool noProgramFolder = lacks("Settings", "Installpath");
  if (noProgramFolder && !paths.programDir.empty()) {
    MakeFolders(paths.programDir);
    wrote.installPath = WritePrivateProfileString(ini, "Settings", "Installpath", paths.programDir);
  }
  if (noProgramFolder && lacks("Settings", "CWD") && !paths.libraryDir.empty()) {
    MakeFolders(paths.libraryDir);
    wrote.libraryDir = WritePrivateProfileString(ini, "Settings", "CWD", paths.libraryDir);
  }
  if (noProgramFolder && lacks("Version", "language")) {
    wrote.language =
        WriteProfileInt(ini, "Version", "language", language >= 0 && language <= 4 ? language : LanguageOfLocale());
  }
  return wrote;
}

void UseUserFoldersWhereUnset(Session& session) {
  const Paths& paths = session.paths();
  if (session.programDir().empty() && !paths.programDir.empty()) {
    MakeFolders(paths.programDir);
    session.SetProgramDir(paths.programDir);
  }
  if (session.libraryDir().empty() && !paths.libraryDir.empty()) {
    MakeFolders(paths.libraryDir);
    session.SetLibraryDir(paths.libraryDir);
  }
}

}  // namespace sondesk
