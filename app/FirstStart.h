#pragma once
// The first start of a user who never ran the installer: the settings file is given what the
// installer would have written, so the program has a program folder, a library folder and a language
// from its very first run, and keeps them.

#include <string>

#include "app/Paths.h"

namespace sondesk {

// The language number (0 Italian, 1 English, 2 French, 3 German, 4 Spanish) of a locale name such as
// "it_IT.UTF-8" or "de"; English for any other locale, for "C", "POSIX" or none.
int LanguageOfLocaleName(const std::string& locale);

// The language of the desktop's locale: LC_ALL, else LC_MESSAGES, else LANG.
int LanguageOfLocale();

// What a first start wrote.
struct FirstStartKeys {
  bool installPath = false;
  bool libraryDir = false;
  bool language = false;
  bool Any() const { return installPath || libraryDir || language; }
};

// A settings file without Installpath (none at all, or one with an empty value) was never set up by
// an installer: each of these keys it lacks is written, as the installer would have: Installpath =
// the per-user program folder, CWD = the per-user library folder, language = `language` (the
// locale's when negative). The two folders are made. A key the file holds is never changed, and a
// file that names its program folder is an installer's and is taken as it is: no library folder has
// always meant "the library is the program folder", no language has always meant Italian.
FirstStartKeys SetUpFirstStart(const Paths& paths, int language = -1);

class Session;

// For this run only: a session whose settings name no program folder or no library folder uses the
// per-user ones (made when missing), never the folder the program was started from.
void UseUserFoldersWhereUnset(Session& session);

}  // namespace sondesk
