#include "library/NameLists.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "app/Session.h"
#include "app/AtomicFile.h"
#include "app/ShippedData.h"

namespace sondesk {

namespace {
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace

std::string Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsSpace(text[b])) ++b;
  while (e > b && IsSpace(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

void TrimInPlace(std::string& text) {
  text = Trim(text);
}

bool PassesDigitsTest(std::string_view text) {
  for (std::size_t i = 0; i < text.size() && i < 4; ++i) {
    if (text[i] >= '0' && text[i] <= '9') return false;
  }
  return true;
}

std::vector<std::string> ReadNameList(const std::string& path) {
  std::vector<std::string> lines;
  std::string data;
  if (!ReadWholeFile(path, data)) return lines;
  std::istringstream in(data);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() > kNameListLineMax) line.resize(kNameListLineMax);
    std::string name = Trim(line);
    if (!name.empty()) lines.push_back(std::move(name));
  }
  return lines;
}

bool NameListHas(const std::vector<std::string>& lines, std::string_view name) {
  const std::string wanted = Trim(name);
  for (const auto& line : lines) {
    if (line == wanted) return true;
  }
  return false;
}

std::vector<std::string> NameListCandidates(const std::vector<std::string>& lines, std::string_view name) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  for (;;) {
    const std::size_t space = name.find(' ', start);
    const std::string_view word =
        name.substr(start, space == std::string_view::npos ? name.npos : space - start);
    if (!word.empty()) words.push_back(word);
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  std::vector<std::string> out;
  for (const auto& line : lines) {
    for (const auto word : words) {
      if (line.find(word) != std::string::npos) {
        out.push_back(line);
        break;
      }
    }
  }
  return out;
}

bool AppendToNameList(const std::string& path, std::string_view name) {
  bool needsLineFeed = false;
  if (std::FILE* in = OpenRegularFile(path)) {
    if (std::fseek(in, -1, SEEK_END) == 0) needsLineFeed = std::fgetc(in) != '\n';
    std::fclose(in);
  }
  std::FILE* out = std::fopen(path.c_str(), "ab");
  if (out == nullptr) return false;
  bool ok = true;
  if (needsLineFeed) ok = std::fputc('\n', out) != EOF;
  ok = ok && std::fwrite(name.data(), 1, name.size(), out) == name.size();
  ok = ok && std::fputc('\n', out) != EOF;
  ok = std::fclose(out) == 0 && ok;
  return ok;
}

namespace {
std::string NameListPath(const Session& session, const char* name) {
  const std::string found = FindProgramFile(session, name);
  return found.empty() ? JoinPath(session.programDir(), name) : found;
}

// Names are appended where the list can be written: a list found in an installation (read-only,
// shared by every user) is first copied into the user's program folder.
std::string NameListForAppending(const Session& session, const std::string& listPath) {
  const std::string folder = DirName(listPath);
  if (::access(folder.c_str(), W_OK) == 0 && (!IsFile(listPath) || ::access(listPath.c_str(), W_OK) == 0)) {
    const std::string writable = WritableProgramFolder(session);
    // An installed data folder stays untouched even when this user could write it.
    bool installed = false;
    for (const std::string& f : InstalledDataFolders()) installed = installed || f == folder;
    if (!installed || writable.empty()) return listPath;
  }
  const std::string copy = ProgramFileForWriting(session, BaseName(listPath));
  return copy.empty() ? listPath : copy;
}
}  // namespace

std::string ArtistListPath(const Session& session) {
  return NameListPath(session, kArtistListName);
}
std::string GenreListPath(const Session& session) {
  return NameListPath(session, kGenreListName);
}

std::optional<std::string> ConfirmNameInList(Session& session, const std::string& listPath,
                                             const std::string& name) {
  const std::vector<std::string> candidates = NameListCandidates(ReadNameList(listPath), name);
  NameListAnswer answer = session.ui().ConfirmListName(name, candidates);
  if (!answer.confirmed) return std::nullopt;
  std::string confirmed = Trim(answer.name);
  if (!answer.pickedFromList && !confirmed.empty()) {
    const std::string target = NameListForAppending(session, listPath);
    if (!AppendToNameList(target, confirmed)) session.ShowCreateError(target);
  }
  return confirmed;
}

std::optional<std::string> CheckNameAgainstList(Session& session, const std::string& listPath,
                                                const std::string& name) {
  const std::string trimmed = Trim(name);
  if (NameListHas(ReadNameList(listPath), trimmed)) return trimmed;
  return ConfirmNameInList(session, listPath, trimmed);
}

void ShowNumericNameWarning(Session& session, const std::string& text) {
  const std::string message = FormatText(session.Text(247), text.c_str());
  session.numericNameWarning =
      session.ui().ShowWarningWithCheck(message, session.Text(253), session.Text(22));
}

}  // namespace sondesk
