#include "library/CatalogueLookup.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "app/AtomicFile.h"
#include "app/Session.h"
#include "app/ShippedData.h"
#include "library/DbaseTable.h"
#include "library/SongNames.h"
#include "midi/Mf3Header.h"

extern char** environ;

namespace sondesk {

namespace {
constexpr std::size_t kCatalogueTextMax = Mf3Header::kTextField - 1;

// The texts the MIDI file carried: title, author, publisher and copyright where the conversion
// found them; performer and category stay as the writer left them.
void ApplyOwnTexts(Mf3Header& header, const SongOwnTexts& own) {
  if (!own.title.empty()) Mf3Header::SetField(header.title, own.title);
  if (!own.author.empty()) Mf3Header::SetField(header.author, own.author);
  if (!own.publisher.empty()) Mf3Header::SetField(header.publisher, own.publisher);
  if (!own.copyright.empty()) Mf3Header::SetField(header.copyright, own.copyright);
}

// A field the table lacks leaves the header's text as it was.
void CopyField(const DbaseTable& table, const char* name, Mf3Header::Text& field) {
  std::string value = Mf3Header::FieldText(field);
  if (table.GetField(name, value, kCatalogueTextMax)) Mf3Header::SetField(field, value);
}

void ApplyCatalogueRecord(Mf3Header& header, const DbaseTable& table, const SongOwnTexts& own) {
  CopyField(table, "TITOLO", header.title);
  CopyField(table, "AUTORE", header.author);
  CopyField(table, "INTERPRETE", header.performer);
  CopyField(table, "EDITORE", header.publisher);
  CopyField(table, "GENERE", header.genre);
  if (!own.copyright.empty()) Mf3Header::SetField(header.copyright, own.copyright);
}

// A floppy mounted on Linux may show SUMMIDI.DAT in any case.
std::string FindInFolder(const std::string& folder, const std::string& name) {
  const std::string exact = JoinPath(folder, name);
  if (IsFile(exact)) return exact;
  std::string found;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      if (EqualsIgnoringCase(e->d_name, name)) {
        found = JoinPath(folder, e->d_name);
        break;
      }
    }
    ::closedir(dir);
  }
  return found;
}

// The tool in the program folder (as setup writes it), else beside the running program (as the
// package installs both in one folder).
std::vector<std::string> SummidiCandidates(const Session& session) {
  std::vector<std::string> candidates = {JoinPath(session.programDir(), "summidi"),
                                         JoinPath(session.programDir(), "SUMMIDI.EXE")};
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    self[n] = '\0';
    candidates.push_back(JoinPath(DirName(self), "summidi"));
  }
  return candidates;
}

void StartSummidi(Session& session, const std::string& catalogue) {
  for (const std::string& program : SummidiCandidates(session)) {
    if (::access(program.c_str(), X_OK) != 0) continue;
    std::string arg0 = program, arg1 = catalogue;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0) {
      // The tool is given its second, as it always was; it is not waited for beyond that.
      session.clock().SleepMicros(1000000);
      int status = 0;
      ::waitpid(pid, &status, WNOHANG);
    }
    return;
  }
  session.ui().DebugLine("summidi not found in " + session.programDir());
}
}  // namespace

bool CataloguePublisherAccepted(const std::string& copyrightCopy, int forceDbSettings) {
  if (copyrightCopy.empty()) return false;
  if (forceDbSettings == 1) return true;
  const std::string upper = UpperAscii(copyrightCopy);
  return upper.find("K-NOVA") != std::string::npos || upper.find("TUNEWARE") != std::string::npos;
}

std::string FloppyCataloguePath(const Session& session) {
  return JoinPath(session.workDir(), kFloppyCatalogueName);
}

bool PrepareFloppyCatalogue(Session& session, const std::string& floppyDir) {
  const std::string source = FindInFolder(floppyDir, kFloppyCatalogueName);
  if (source.empty()) return false;
  std::string data;
  const std::string copy = FloppyCataloguePath(session);
  if (!ReadWholeFile(source, data) || !WriteFileAtomically(copy, data)) return false;
  StartSummidi(session, copy);
  return RegularFileProblem(copy).empty() && IsFile(copy);
}

void LookUpCatalogue(Session& session, Mf3Header& header, const std::string& songFileName, bool fromFloppy,
                     const SongOwnTexts& own, CatalogueRun& run) {
  if (!run.cataloguePath) {
    run.cataloguePath = FindProgramFile(session, kCatalogueName);
    if (run.cataloguePath->empty()) run.cataloguePath = JoinPath(session.programDir(), kCatalogueName);
  }
  std::string cataloguePath = *run.cataloguePath;
  if (fromFloppy) {
    if (!run.floppyCatalogueReady) run.floppyCatalogueReady = PrepareFloppyCatalogue(session, run.floppyDir);
    if (*run.floppyCatalogueReady) cataloguePath = FloppyCataloguePath(session);
  }
  const std::string key = CatalogueKeyOf(songFileName);

  std::unique_ptr<DbaseTable> table = DbaseTable::Open(cataloguePath);
  if (!table && !run.missingReported) {
    run.missingReported = true;
    session.ShowOpenError(cataloguePath);
  }
  const bool found = table &&
                     CataloguePublisherAccepted(own.copyrightCopy, session.settings().forceDbSettings) &&
                     table->Find(key, "CODICE");
  if (found) {
    ApplyCatalogueRecord(header, *table, own);
  } else {
    // Without the catalogue, or for a song it does not know, the MIDI file's own texts are better
    // than the file name the writer put in the title.
    ApplyOwnTexts(header, own);
  }
}

void LookUpCatalogue(Session& session, const std::string& mf3Path, const std::string& songFileName,
                     bool fromFloppy, const SongOwnTexts& own, CatalogueRun& run) {
  Mf3Header header;
  if (ReadMf3Header(session, mf3Path, header) != 0) return;
  LookUpCatalogue(session, header, songFileName, fromFloppy, own, run);
  WriteMf3Header(session, mf3Path, header);
}

}  // namespace sondesk
