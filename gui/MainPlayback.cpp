// The main window's playback: Play and Stop, the karaoke view beside the music, Midi Setup.
#include <QMetaObject>

#include "app/AtomicFile.h"
#include "catalogue/CardFiles.h"
#include "gui/CommandIds.h"
#include "gui/KaraokeView.h"
#include "gui/MainDlg.h"
#include "gui/MidiSetupDlg.h"
#include "gui/Text.h"
#include "midi/SongPlayback.h"

namespace sondesk {

namespace {

// A card song is played from a copy in the work folder, read through the card's own files
// (whichever way the card is reached). Empty when it cannot be read (told).
std::string CopyCardSongForPlayback(Session& session, Catalogue& catalogue, const SongEntry& entry) {
  const unsigned number = entry.songNumber();
  const std::string name = SongFileName(number);
  CardFiles& files = catalogue.files();
  std::vector<std::uint8_t> bytes;
  files.RequestAccess();
  files.RequestConnect();
  const bool read = files.ReadFile(SongFolderOf(number), name, bytes);
  files.ReleaseAccess();
  if (!read) {
    session.ShowOpenError(name);
    return {};
  }
  MakeFolders(session.workDir());
  const std::string copy = JoinPath(session.workDir(), "CARDSONG.MF3");
  if (!WriteFileAtomically(copy, bytes)) {
    session.ShowCreateError(copy);
    return {};
  }
  return copy;
}

}  // namespace

std::string MainDlg::SongToPlay() {
  const std::vector<std::size_t> library = SelectedEntries(ListSide::Library);
  if (library.size() == 1 && library[0] < session_.library.size()) return session_.library[library[0]].path;
  if (!library.empty()) return {};
  const std::vector<std::size_t> onCard = SelectedEntries(ListSide::Card);
  if (onCard.size() != 1 || onCard[0] >= session_.card.size()) return {};
  Catalogue* c = card_.CatalogueNow();
  if (c == nullptr) return {};
  return CopyCardSongForPlayback(session_, *c, session_.card[onCard[0]]);
}

KaraokeView& MainDlg::Karaoke() {
  if (karaoke_ == nullptr) {
    karaoke_ = new KaraokeView(session_.messages().language(), this);
    karaoke_->move(geometry().topRight() + QPoint(8, 0));
  }
  return *karaoke_;
}

void MainDlg::CmdPlay() {
  const std::string path = SongToPlay();
  if (path.empty()) return;
  playback_->onEnded = [this] {
    // The synthesizer's thread tells; the window hears it on its own.
    QMetaObject::invokeMethod(
        this, [this] { OnSongEnded(); }, Qt::QueuedConnection);
  };
  session_.BusyCursorOn();
  const int started = playback_->PlaySong(path);
  session_.BusyCursorOff();
  KaraokeView& view = Karaoke();
  const PreparedSong& song = playback_->song();
  if (song.ok) {
    view.SetSong(Q(song.header.Texts().title), song.karaoke);
    view.show();
    view.raise();
  }
  if (started == 0) {
    view.Follow([this] { return playback_->CurrentTick(); });
    if (QAction* a = toolbarAction(cmd::kTbPlay)) a->setEnabled(true);
    if (QAction* a = toolbarAction(cmd::kTbStop)) a->setEnabled(true);
  }
}

void MainDlg::CmdStop() {
  playback_->StopSong();
  if (karaoke_ != nullptr) karaoke_->StopFollowing();
  UpdateToolbarState();
}

void MainDlg::OnSongEnded() {
  if (playback_->playing()) return;  // another song started meanwhile
  if (karaoke_ != nullptr) karaoke_->StopFollowing();
  UpdateToolbarState();
}

void MainDlg::ShowLyricPages() {
  const std::string path = SongToPlay();
  if (path.empty()) return;
  const PreparedSong song = PrepareSong(session_, path);
  if (!song.ok) return;
  KaraokeView& view = Karaoke();
  view.SetSong(Q(song.header.Texts().title), song.karaoke);
  view.show();
  view.raise();
}

void MainDlg::CmdMidiSetup() {
  MidiSetupDlg dlg(session_, playback_->player(), this);
  dlg.exec();
  UpdateToolbarState();
}

}  // namespace sondesk
