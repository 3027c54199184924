#include "library/SongInfo.h"

#include "app/Session.h"
#include "library/NameLists.h"

namespace sondesk {

std::string SongInfo::fileName() const {
  return BaseName(path);
}

SongInfoEdit SongInfoEdit::From(const SongInfo& info) {
  const Mf3Texts t = info.texts();
  return SongInfoEdit{t.title, t.performer, t.genre, t.publisher, t.author};
}

int ReadSongInfo(Session& session, const std::string& path, SongInfo& info) {
  info.path = path;
  return ReadMf3Header(session, path, info.header);
}

SongInfoResult SaveSongInfo(Session& session, SongInfo& info, SongInfoEdit& edit) {
  for (const std::string* text : {&edit.title, &edit.performer, &edit.category}) {
    if (!PassesDigitsTest(*text)) ShowNumericNameWarning(session, *text);
  }
  if (session.settings().checkInterpret == 1) {
    const auto name = CheckNameAgainstList(session, ArtistListPath(session), edit.performer);
    if (!name) return SongInfoResult::StayOpen;
    edit.performer = *name;
  }
  if (session.settings().checkCategory == 1) {
    const auto name = CheckNameAgainstList(session, GenreListPath(session), edit.category);
    if (!name) return SongInfoResult::StayOpen;
    edit.category = *name;
  }
  Mf3Header header = info.header;
  Mf3Header::SetField(header.title, edit.title);
  Mf3Header::SetField(header.performer, edit.performer);
  Mf3Header::SetField(header.genre, edit.category);
  Mf3Header::SetField(header.publisher, edit.publisher);
  Mf3Header::SetField(header.author, edit.author);
  if (WriteMf3Header(session, info.path, header) != 0) return SongInfoResult::Failed;
  info.header = header;
  return SongInfoResult::Saved;
}

void MarkSongEdited(SongList& list, const std::string& path, const Mf3Texts& texts) {
  for (SongEntry& e : list) {
    if (e.path != path) continue;
    e.title = SongEntry::CutText(texts.title);
    e.performer = SongEntry::CutText(texts.performer);
    e.category = SongEntry::CutText(texts.genre);
    e.edited = 1;
  }
}

void CheckImportedSongNames(Session& session, const std::string& mf3Path) {
  Mf3Header header;
  if (ReadMf3HeaderFile(mf3Path, header) != Mf3HeaderStatus::Ok) return;
  CheckImportedSongNames(session, mf3Path, header);
}

void CheckImportedSongNames(Session& session, const std::string& mf3Path, const Mf3Header& header) {
  const Mf3Texts t = header.Texts();
  const bool numeric =
      !PassesDigitsTest(t.title) || !PassesDigitsTest(t.performer) || !PassesDigitsTest(t.genre);
  if (numeric && session.numericNameWarning) ShowNumericNameWarning(session, mf3Path);
}

}  // namespace sondesk
