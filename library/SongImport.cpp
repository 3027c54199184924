#include "library/SongImport.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "app/AtomicFile.h"
#include "app/FileBatch.h"
#include "app/Session.h"
#include "app/WorkFolder.h"
#include "library/ImportPipeline.h"
#include "library/LibraryStore.h"
#include "library/SongInfo.h"
#include "library/SongNames.h"
#include "messages/Cp1252.h"
#include "midi/Mf3File.h"
#include "midi/MidiToPayload.h"

namespace sondesk {

namespace {

constexpr const char* kPcTempName = "TEMP.MID";

bool Exists(const ImportRun& run, const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0 || (run.pending != nullptr && run.pending->Pending(path));
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
  header.SetFileName(HeaderNameOf(source) + ".MID");
  return WriteMf3Header(session, dest, header);
}

int ImportMidiFile(Session& session, ImportRun& run, const std::string& source, const std::string& tempName,
                   bool fromFloppy, std::string& dest) {
  const std::string temp = JoinPath(run.workFolder.empty() ? session.workDir() : run.workFolder, tempName);
  MidiConversion conversion;
  if (ConvertMidiToPayload(session, source, temp, conversion) != 0) {
    RemoveWorkFile(temp);
    return 1;
  }
  const std::string songName = SongNameOf(source);
  dest = JoinPath(session.libraryDir(), songName);
  CheckDuplicate(session, run, dest);
  // The header's name fields are Windows-1252; the library file keeps its UTF-8 name.
  const int written = WriteMf3(session, temp, dest, Utf8ToCp1252(songName), conversion.header);
  RemoveWorkFile(temp);
  if (written != 0) return 1;
  const SongOwnTexts own{conversion.Title(), conversion.Author(), conversion.Publisher(),
                         conversion.Copyright(), conversion.CopyrightCopy()};
  LookUpCatalogue(session, dest, source, fromFloppy, own, run.catalogue);
  CheckImportedSongNames(session, dest);
  return 0;
}

// The Ui thread's part of a song a worker converted, in the order of the one-at-a-time import:
// what the conversion showed, the duplicate question, the catalogue, the write, the name check.
// The file is written once, with its final texts, into `batch`.
int PlacePreparedSong(Session& session, ImportRun& run, FileBatch& batch, const std::string& source,
                      PreparedSong& song, bool fromFloppy, std::string& dest) {
  DeferredUi kept;
  kept.events = std::move(song.events);
  kept.Replay(session);
  if (!song.converted || song.built == Mf3Status::CannotOpen) return 1;
  dest = JoinPath(session.libraryDir(), SongNameOf(source));
  CheckDuplicate(session, run, dest);
  if (song.built != Mf3Status::Ok) {
    session.ui().DebugLine(dest + ": " + Mf3StatusText(song.built));
    session.ShowCreateError(dest);
    return 1;
  }
  Mf3Header header;
  Mf3Header::Parse(song.file, header);
  LookUpCatalogue(session, header, source, fromFloppy, song.own, run.catalogue);
  header.Serialize(song.file.data());
  if (!batch.Add(dest, song.file)) {
    session.ShowCreateError(dest);
    return 1;
  }
  CheckImportedSongNames(session, dest, header);
  return 0;
}

// A song that could not be put in place is reported and not counted.
void ReportUncommitted(Session& session, const std::vector<std::string>& failed, ImportResult& result) {
  for (const std::string& path : failed) {
    session.ShowCreateError(path);
    if (result.imported > 0) --result.imported;
  }
}

// Puts the batch's songs in place; a song that could not be is reported and not counted.
void CommitSongs(Session& session, FileBatch& batch, ImportResult& result) {
  std::vector<std::string> failed;
  batch.Commit(&failed);
  ReportUncommitted(session, failed, result);
}

// Songs wait in the batch until this many are written (or this many bytes): one wait for the disk
// per batch, and at most one batch lost to a cut.
constexpr std::size_t kBatchSongs = 64;
constexpr std::size_t kBatchBytes = 16u << 20;

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
  const unsigned workers = run.workers == 0 ? ImportPipeline::DefaultWorkers() : run.workers;
  FileBatch batch;
  std::optional<ImportPipeline> pipeline;
  if (workers > 1 || run.workers == 0) {
    run.pending = &batch;
    pipeline.emplace(session, files, workers);
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string tempName = kPcTempName;
    if (run.source == ImportSource::Floppy) tempName = std::to_string(result.imported) + ".MID";
    if (run.source == ImportSource::Drop) tempName = std::to_string(i) + ".MID";
    int rc = 1;
    if (!pipeline) {
      rc = ImportSongFile(session, run, files[i], tempName, fromFloppy);
    } else {
      PreparedSong song = pipeline->Take(i);
      if (song.mf3Source) {
        // A copied song is written in place at once: whatever waits must be there before it.
        CommitSongs(session, batch, result);
        rc = ImportSongFile(session, run, files[i], tempName, fromFloppy);
      } else {
        std::string dest;
        rc = PlacePreparedSong(session, run, batch, files[i], song, fromFloppy, dest);
      }
    }
    if (rc == 0) ++result.imported;
    ++result.chosen;
    progress.ProgressSetLine2(FormatText(counter, static_cast<int>(i + 1), static_cast<int>(files.size())));
    progress.ProgressStepTimed(1);
    // A full batch reaches the disk on a thread of its own while the next songs are placed.
    if (batch.size() >= kBatchSongs || batch.bytes() >= kBatchBytes) {
      std::vector<std::string> failed;
      batch.CommitInBackground(&failed);
      ReportUncommitted(session, failed, result);
    }
  }
  pipeline.reset();
  CommitSongs(session, batch, result);
  run.pending = nullptr;
  progress.ProgressEnd();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void CheckDuplicate(Session& session, ImportRun& run, std::string& destination) {
  if (!Exists(run, destination)) return;
  if (!run.allFlag) {
    const std::string text = FormatText(session.Text(248), Utf8ToCp1252(session.libraryDir()).c_str(),
                                        Utf8ToCp1252(BaseName(destination)).c_str());
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
    if (!Exists(run, candidate)) {
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

ImportResult ImportFromPc(Session& session, const std::vector<std::string>& files, unsigned workers) {
  ImportResult result;
  result.started = true;
  StartCommand(session);
  const WorkFolder work(session.workDir());
  ImportRun run(ImportSource::FileDialog);
  run.workers = workers;
  run.workFolder = work.path();
  ImportWithProgress(session, run, files, 121, session.Text(116), false, result);
  RemoveWorkFile(work / kPcTempName);
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

ImportResult ImportFromFloppy(Session& session, const std::string& folder, unsigned workers) {
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
  const WorkFolder work(session.workDir());
  ImportRun run(ImportSource::Floppy);
  run.workers = workers;
  run.workFolder = work.path();
  run.catalogue.floppyDir = folder;
  // The counter of this window has always been written in Italian.
  ImportWithProgress(session, run, files, 120, "%d di %d", true, result);
  EndCommand(session, result, 104, 105);
  return result;
}

ImportResult ImportDroppedFiles(Session& session, const std::vector<std::string>& files, unsigned workers) {
  ImportResult result;
  if (files.empty()) return result;
  result.started = true;
  StartCommand(session);
  const WorkFolder work(session.workDir());
  ImportRun run(ImportSource::Drop);
  run.workers = workers;
  run.workFolder = work.path();
  if (files.size() == 1) {
    result.chosen = 1;
    if (ImportSongFile(session, run, files.front(), "0.MID", false) == 0) result.imported = 1;
  } else {
    ImportWithProgress(session, run, files, 121, "%d di %d", false, result);
  }
  EndCommand(session, result, 102, 103);
  return result;
}

ImportResult ImportSongsWithoutReport(Session& session, const std::vector<std::string>& files) {
  ImportResult result;
  if (files.empty()) return result;
  result.started = true;
  StartCommand(session);
  ImportRun run(ImportSource::Drop);
  ImportWithProgress(session, run, files, 121, session.Text(116), false, result);
  ReadLibrary(session);
  session.BusyCursorOff();
  return result;
}

}  // namespace sondesk
