#include "library/SongImport.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "app/AtomicFile.h"
#include "app/Session.h"
#include "library/LibraryStore.h"
#include "library/SongInfo.h"
#include "library/SongNames.h"
#include "midi/Mf3File.h"
#include "midi/MidiToPayload.h"

namespace sondesk {

namespace {

constexpr const char* kPcTempName = "TEMP.MID";

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void RemoveWorkFile(const std::string& path) {
  std::remove(path.c_str());
}

// An MF3 song is copied as it is, but its file name field is made to name the song's own file,
// as the card catalogue and the copy back from the card expect. The field is written in the
// library's copy: the source may be read-only, on a floppy, or another user's file.
int ImportMf3File(Session& session, ImportRun& run, const std::string& source, std::string& dest) {
  Mf3Header header;
  if (ReadMf3Header(session, source, header) != 0) return 1;
  std::string data;
  if (!ReadWholeFile(source, data)) {
    session.ShowOpenError(source);
    return 1;
  }
  // A damaged song would later be refused by the card copy; it never enters the library.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
  if (std::string why; CheckMf3Song({bytes, data.size()}, why) != Mf3Status::Ok) {
    session.ShowBox(Format("%s is not a whole MF3 song (%s) and is not imported", source.c_str(), why.c_str()), 21,
                    BoxIcon::Stop, BoxButtons::Ok);
    return 1;
  }
  const std::string songName = SongNameOf(source);
  dest = JoinPath(session.libraryDir(), songName);
  CheckDuplicate(session, run, dest);
  // Importing a library song onto itself must not empty it; its header is still brought up to date.
  if (!SameFile(source, dest) && !WriteFileAtomically(dest, data)) {
    session.ShowCreateError(dest);
    return 1;
  }
  header.SetFileName(UpperAscii(FileStem(source)) + ".MID");
  return WriteMf3Header(session, dest, header);
}

int ImportMidiFile(Session& session, ImportRun& run, const std::string& source, const std::string& tempName,
                   bool fromFloppy, std::string& dest) {
  const std::string temp = JoinPath(session.workDir(), tempName);
  MidiConversion conversion;
  if (ConvertMidiToPayload(session, source, temp, conversion) != 0) {
    RemoveWorkFile(temp);
    return 1;
  }
  const std::string songName = SongNameOf(source);
  dest = JoinPath(session.libraryDir(), songName);
  CheckDuplicate(session, run, dest);
  const int written = WriteMf3(session, temp, dest, songName, conversion.header);
  RemoveWorkFile(temp);
  if (written != 0) return 1;
  const SongOwnTexts own{conversion.Title(), conversion.Author(), conversion.Publisher(),
                         conversion.Copyright(), conversion.CopyrightCopy()};
  LookUpCatalogue(session, dest, source, fromFloppy, own, run.catalogue);
  CheckImportedSongNames(session, dest);
  return 0;
}

// What every import command does first.
void StartCommand(Session& session) {
  session.BusyCursorOn();
  MakeFolders(session.workDir());
  session.numericNameWarning = true;
}

// What every import command does last: the library is read again and the user told how many
// songs came in.
void EndCommand(Session& session, const ImportResult& result, int oneMessage, int manyMessage) {
  ReadLibrary(session);
  session.BusyCursorOff();
  const std::string text = result.imported == 1
                               ? session.Text(oneMessage)
                               : FormatText(session.Text(manyMessage), static_cast<int>(result.imported));
  session.ShowBox(text, 23, BoxIcon::Info, BoxButtons::Ok);
}

// Imports `files` under the progress window titled with `titleMessage`; `counter` is the format of
// the counter line.
void ImportWithProgress(Session& session, ImportRun& run, const std::vector<std::string>& files,
                        int titleMessage, const std::string& counter, bool fromFloppy, ImportResult& result) {
  Progress& progress = session.progress();
  progress.ProgressStartTimed(static_cast<std::uint32_t>(files.size()));
  progress.ProgressSetLine1(session.Text(titleMessage));
  progress.ProgressSetLine2("");
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string tempName = kPcTempName;
    if (run.source == ImportSource::Floppy) tempName = std::to_string(result.imported) + ".MID";
    if (run.source == ImportSource::Drop) tempName = std::to_string(i) + ".MID";
    if (ImportSongFile(session, run, files[i], tempName, fromFloppy) == 0) ++result.imported;
    ++result.chosen;
    progress.ProgressSetLine2(FormatText(counter, static_cast<int>(i + 1), static_cast<int>(files.size())));
    progress.ProgressStepTimed(1);
  }
  progress.ProgressEnd();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void CheckDuplicate(Session& session, ImportRun& run, std::string& destination) {
  if (!Exists(destination)) return;
  if (!run.allFlag) {
    const std::string text = FormatText(session.Text(248), session.libraryDir().c_str(),
                                        UpperAscii(BaseName(destination)).c_str());
    switch (session.ui().AskDuplicate(text)) {
      case DuplicateAnswer::ModifyAllNames:
        run.allFlag = true;
        run.replaceChoice = false;
        break;
      case DuplicateAnswer::ModifyName:
        run.replaceChoice = false;
        break;
      case DuplicateAnswer::Replace:
        run.replaceChoice = true;
        break;
      case DuplicateAnswer::ReplaceAll:
        run.allFlag = true;
        run.replaceChoice = true;
        break;
    }
  }
  if (run.replaceChoice) return;
  std::string stem = destination;
  if (EndsWithIgnoringCase(stem, ".MF3")) stem.resize(stem.size() - 4);
  for (int n = 1; n <= 99; ++n) {
    const std::string candidate = stem + "(" + std::to_string(n) + ").MF3";
    if (!Exists(candidate)) {
      destination = candidate;
      return;
    }
  }
}

int ImportSongFile(Session& session, ImportRun& run, const std::string& source, const std::string& tempName,
                   bool fromFloppy, std::string* destination) {
  std::string dest;
  const int rc = IsMf3Name(source) ? ImportMf3File(session, run, source, dest)
                                   : ImportMidiFile(session, run, source, tempName, fromFloppy, dest);
  if (destination != nullptr) *destination = rc == 0 ? dest : "";
  return rc;
}

ImportResult ImportFromPc(Session& session, const std::vector<std::string>& files) {
  ImportResult result;
  result.started = true;
  StartCommand(session);
  ImportRun run(ImportSource::FileDialog);
  ImportWithProgress(session, run, files, 121, session.Text(116), false, result);
  RemoveWorkFile(JoinPath(session.workDir(), kPcTempName));
  EndCommand(session, result, 102, 103);
  return result;
}

ImportResult ImportFromPcDialog(Session& session) {
  auto files = session.ui().PickOpenFiles("Open Midifile", session.settings().importPath,
                                          "MIDIFILE (*.MID) (*.MID *.KAR *.MF3 *.mid *.kar *.mf3)");
  if (!files || files->empty()) return {};
  session.settings().WriteString("PATH", "ImportPath", FolderOf(files->front()));
  return ImportFromPc(session, *files);
}

std::vector<std::string> FloppySongFiles(const std::string& folder) {
  std::vector<std::string> groups[3];
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      const int group = EndsWithIgnoringCase(name, ".MID")   ? 0
                        : EndsWithIgnoringCase(name, ".KAR") ? 1
                        : EndsWithIgnoringCase(name, ".MF3") ? 2
                                                             : -1;
      if (group < 0) continue;
      const std::string path = JoinPath(folder, name);
      if (!IsFile(path)) continue;
      groups[group].push_back(path);
    }
    ::closedir(dir);
  }
  std::vector<std::string> out;
  for (auto& g : groups) {
    std::sort(g.begin(), g.end());
    out.insert(out.end(), g.begin(), g.end());
  }
  return out;
}

ImportResult ImportFromFloppy(Session& session, const std::string& folder) {
  ImportResult result;
  session.BusyCursorOn();
  const std::vector<std::string> files = FloppySongFiles(folder);
  if (files.empty()) {
    session.BusyCursorOff();
    session.ShowBox(session.Text(125), 22, BoxIcon::Warning, BoxButtons::Ok);
    return result;
  }
  const std::string question = FormatText(session.Text(119), static_cast<int>(files.size()));
  if (session.ShowBox(question, 23, BoxIcon::Question, BoxButtons::OkCancel) != BoxAnswer::Ok) {
    session.BusyCursorOff();
    return result;
  }
  result.started = true;
  StartCommand(session);
  ImportRun run(ImportSource::Floppy);
  run.catalogue.floppyDir = folder;
  // The counter of this window has always been written in Italian.
  ImportWithProgress(session, run, files, 120, "%d di %d", true, result);
  EndCommand(session, result, 104, 105);
  return result;
}

ImportResult ImportDroppedFiles(Session& session, const std::vector<std::string>& files) {
  ImportResult result;
  if (files.empty()) return result;
  result.started = true;
  StartCommand(session);
  ImportRun run(ImportSource::Drop);
  if (files.size() == 1) {
    result.chosen = 1;
    if (ImportSongFile(session, run, files.front(), "0.MID", false) == 0) result.imported = 1;
  } else {
    ImportWithProgress(session, run, files, 121, "%d di %d", false, result);
  }
  EndCommand(session, result, 102, 103);
  return result;
}

}  // namespace sondesk
