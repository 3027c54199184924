// The songbook's texts and the opening of the PDF writer's module: no Qt here.

#include <dlfcn.h>
#include <unistd.h>

#include <ctime>
#include <mutex>

#include "app/LateLibrary.h"
#include "app/Session.h"
#include "pdf/SongbookPdf.h"

namespace sondesk {

namespace {

using WriterFn = bool (*)(const Songbook&, const SongbookDocument&, const std::string&, std::string&);

WriterFn gWriter = nullptr;
std::string gLoadError;

void LoadWriter() {
  const std::string path = ProgramModuleDir() + "/sondesk-pdf.so";
  // Kept open to the end of the process: Qt's fonts and application must outlive every book.
  void* handle = OpenLateLibrary(path.c_str(), "the songbook writer", gLoadError);
  if (handle == nullptr) return;
  gWriter = reinterpret_cast<WriterFn>(::dlsym(handle, "sondesk_write_songbook_pdf"));
  if (gWriter == nullptr) gLoadError = "the songbook writer " + path + " is not one of this version";
}

}  // namespace

std::string ProgramModuleDir() {
  std::string exe(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size() - 1);
  exe.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  const std::size_t slash = exe.rfind('/');
  const std::string bin = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  // Installed programs sit in bin/ beside lib/; in the build tree a few (the desktop program's
  // tests) sit one folder deeper.
  const std::string near = bin + "/../lib/sondesk";
  const std::string deeper = bin + "/../../lib/sondesk";
  return ::access(near.c_str(), F_OK) != 0 && ::access(deeper.c_str(), F_OK) == 0 ? deeper : near;
}

bool WriteSongbookPdf(const Songbook& book, const SongbookDocument& doc, const std::string& path, std::string& why) {
  if (book.pages.empty()) {
    why = "no songs to put in the songbook";
    return false;
  }
  static std::once_flag once;
  std::call_once(once, LoadWriter);
  if (gWriter == nullptr) {
    why = gLoadError;
    return false;
  }
  return gWriter(book, doc, path, why);
}

bool ExportSongbook(const Session& session, const std::string& path, bool ofCard, std::string& why) {
  const Songbook book = LayOutSongbook(SongbookSongsOf(ofCard ? session.card : session.library, ofCard));
  SongbookDocument doc;
  doc.texts = SongbookTextsFor(session.messages().language());
  doc.listName = ofCard ? "Son Flash" : "Hard Disk";
  // The day of the host's desk: the book is dated where it is handed out.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  doc.date = Format("%02d/%02d/%04d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
  doc.pageFormat = session.Text(48);
  for (int i = 0; i < 3; ++i) doc.headings[i] = session.Text(90 + i);
  return WriteSongbookPdf(book, doc, path, why);
}

}  // namespace sondesk
