#include "link/FirmwareUpdate.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "app/Session.h"
#include "link/Download.h"
#include "link/FirmwareFile.h"
#include "link/Link.h"

namespace sondesk {

namespace {

constexpr std::uint64_t kHalfSecond = 500000;
constexpr int kAttempts = 4;
constexpr std::uint8_t kEsc = 27;
// The blocks of program memory the loader erases; block 3 holds the loader itself.
constexpr int kEraseBlocks[] = {0, 1, 2, 4, 5, 6};
constexpr int kLinesPerStep = 50;
constexpr std::uint64_t kBytesPerStep = 2200;

void Pause(Session& session, std::uint64_t micros) {
  session.clock().SleepMicros(micros);
}

void WakeLoader(Session& session, Link& link) {
  link.LoaderSendCommand(15);
  Pause(session, kHalfSecond);
  link.LoaderSendCommand(kCommandLoaderWake);
  Pause(session, kHalfSecond);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Reads a picked file whole, refusing what cannot be a firmware file before it fills memory.
bool ReadFirmwareCandidate(const std::string& path, std::vector<std::uint8_t>& bytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (static_cast<std::uint64_t>(st.st_size) > kMaxFirmwareFileBytes) {
    bytes.assign(kMaxFirmwareFileBytes + 1, 0);  // checked as too large
    return true;
  }
  return ReadWholeFile(path, bytes);
}

}  // namespace

std::string FirmwareFilePath(const Session& session) {
  // A first start may not know its program folder yet; the file then lives with the user's data,
  // never in whatever folder the program was started from.
  const std::string& folder = !session.programDir().empty() ? session.programDir() : session.paths().dataDir;
  return JoinPath(folder, kFirmwareFileName);
}

int FetchFirmwareFile(Session& session, const std::string& target, std::string& error, bool& invalid) {
  invalid = false;
  const std::string arrived = TemporarySibling(target);
  if (!DownloadFile(session, UpdateServerUrl(session, kFirmwareServerPath), arrived, error)) return 0;
  const FirmwareCheck check = CheckFirmwareFile(arrived);
  if (!check.valid) {
    std::remove(arrived.c_str());
    invalid = true;
    error = "the downloaded file is not valid: " + check.reason;
    return 0;
  }
  if (std::rename(arrived.c_str(), target.c_str()) != 0) {
    std::remove(arrived.c_str());
    error = FormatText(session.Text(12), target.c_str());
    session.ShowCreateError(target);
    return 0;
  }
  return 1;
}

int ProgramFirmware(Session& session, Link& link, const std::string& firmwarePath, std::string& why) {
  Progress& progress = session.progress();
  WakeLoader(session, link);
  session.BusyCursorOn();
  if (!link.LoaderWaitReady()) {
    why = "the loader did not signal ready";
    return 0;
  }

  progress.ProgressStart(6);
  progress.ProgressSetLine1(session.Text(26));
  progress.ProgressSetLine2("");
  link.LoaderSendChar(kEsc);
  link.LoaderSendChar(kEsc);
  for (int block : kEraseBlocks) {
    progress.ProgressStep();
    const std::string command = Format("ES %02x", block);
    if (!link.LoaderSendLine(command)) {
      why = "\"" + command + "\" was not acknowledged";
      return 0;
    }
  }
  progress.ProgressEnd();
  link.LoaderSendChar(kEsc);
  if (!link.LoaderSendLine("HEXDWL")) {
    why = "\"HEXDWL\" was not acknowledged";
    return 0;
  }

  std::string text;
  if (!ReadWholeFile(firmwarePath, text)) {
    why = "cannot read " + firmwarePath;
    return 0;
  }
  progress.ProgressStart(static_cast<std::uint32_t>(text.size() / kBytesPerStep));
  progress.ProgressSetLine1(session.Text(27));
  progress.ProgressSetLine2("");

  std::size_t p = 0;
  for (int skip = 0; skip < 2 && p < text.size(); ++skip) {
    const std::size_t eol = text.find('\n', p);
    p = eol == std::string::npos ? text.size() : eol + 1;
  }
  int lineNumber = 2;
  int sent = 0;
  while (p < text.size()) {
    std::size_t eol = text.find('\n', p);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(p, eol - p);
    p = eol + 1;
    ++lineNumber;
    const std::size_t cut = line.find_first_of("\r\n");
    if (cut != std::string::npos) line.resize(cut);
    if (!line.empty() && line[0] != 'S') {
      why = "line " + std::to_string(lineNumber) + " is not an S-record";
      return 0;
    }
    if (!link.LoaderSendLine(line)) {
      why = "line " + std::to_string(lineNumber) + " was not acknowledged";
      return 0;
    }
    if (link.LoaderError()) {
      why = "the loader signalled an error at line " + std::to_string(lineNumber);
      return 0;
    }
    if (++sent % kLinesPerStep == 0) {
      progress.ProgressSetLine1(session.Text(27));
      progress.ProgressStep();
    }
    progress.Pump();
    Pause(session, 1000);
  }
  progress.ProgressEnd();
  session.BusyCursorOff();
  link.LoaderSendChar(kEsc);
  link.LoaderSendLine("RST");
  return 1;
}

FirmwareUpdateResult UpdateFirmware(Session& session, Link& link, const std::string& namedFile) {
  FirmwareUpdateResult result;
  Progress& progress = session.progress();
  const std::string target = FirmwareFilePath(session);
  std::string firmware = namedFile;

  if (firmware.empty()) {
    bool have = false;
    if (session.settings().webUpdate != 0) {
      progress.ProgressStart(250);
      progress.AllowCancel();
      progress.ProgressSetLine1(session.Text(28));
      progress.ProgressSetLine2("");
      bool invalid = false;
      have = FetchFirmwareFile(session, target, result.detail, invalid) == 1;
      progress.ProgressEnd();
      if (invalid) {
        session.ShowBox(session.Text(32), 21, BoxIcon::Stop, BoxButtons::Ok);
        result.outcome = FirmwareOutcome::Invalid;
        return result;
      }
    }
    if (!have) {
      if (session.ShowBox(session.Text(29), 22, BoxIcon::Warning, BoxButtons::YesNo) != BoxAnswer::Yes) {
        result.outcome = FirmwareOutcome::Declined;
        return result;
      }
      const auto picked = session.ui().PickOpenFiles(session.Text(30), target, "Sonvar Firmware(*.MHX)|*.MHX|");
      if (!picked || picked->empty() || Upper(BaseName(picked->front())) != kFirmwareFileName) {
        session.ShowBox(session.Text(31), 22, BoxIcon::Warning, BoxButtons::Ok);
        result.outcome = FirmwareOutcome::NoFile;
        result.detail = "no file SONVAR.MHX chosen";
        return result;
      }
      const std::string& chosen = picked->front();
      if (!SameFile(chosen, target)) {
        // Checked before it goes in, and put in place whole: the good file stays until then.
        std::vector<std::uint8_t> bytes;
        if (!ReadFirmwareCandidate(chosen, bytes)) {
          session.ShowOpenError(chosen);
          result.outcome = FirmwareOutcome::NoFile;
          result.detail = "cannot read " + chosen;
          return result;
        }
        const FirmwareCheck check = CheckFirmwareBytes(bytes);
        if (!check.valid) {
          session.ShowBox(session.Text(32), 21, BoxIcon::Stop, BoxButtons::Ok);
          result.outcome = FirmwareOutcome::Invalid;
          result.detail = check.reason;
          return result;
        }
        if (!MakeFolders(DirName(target)) || !WriteFileAtomically(target, bytes)) {
          session.ShowCreateError(target);
          result.outcome = FirmwareOutcome::Failed;
          result.detail = "cannot write " + target;
          return result;
        }
      }
    }
    firmware = target;
  }

  const FirmwareCheck check = CheckFirmwareFile(firmware);
  if (!check.valid) {
    session.ShowBox(session.Text(32), 21, BoxIcon::Stop, BoxButtons::Ok);
    result.outcome = FirmwareOutcome::Invalid;
    result.detail = check.reason;
    return result;
  }
  result.version = ReadFirmwareVersion(firmware);

  WakeLoader(session, link);
  const std::string question = FormatText(session.Text(33), result.version.c_str());
  if (session.ShowBox(question, 22, BoxIcon::Warning, BoxButtons::YesNo) != BoxAnswer::Yes) {
    session.BusyCursorOn();
    link.LoaderSendChar(kEsc);
    link.LoaderSendLine("RST");
    session.BusyCursorOff();
    result.outcome = FirmwareOutcome::Declined;
    return result;
  }

  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    std::string why;
    if (ProgramFirmware(session, link, firmware, why)) {
      link.LoaderIdle();
      result.outcome = FirmwareOutcome::Updated;
      result.detail.clear();
      return result;
    }
    result.detail = why;
    link.LoaderIdle();
    Pause(session, kHalfSecond);
    progress.ProgressEnd();
    session.BusyCursorOff();
  }
  session.ShowBox(session.Text(260), 22, BoxIcon::Warning, BoxButtons::Ok);
  link.LoaderIdle();
  result.outcome = FirmwareOutcome::Failed;
  return result;
}

}  // namespace sondesk
