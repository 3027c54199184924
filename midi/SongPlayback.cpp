#include "midi/SongPlayback.h"

#include "app/AtomicFile.h"
#include "app/Session.h"
#include "midi/Mf3File.h"

namespace sondesk {

PlaybackWorkFiles PlaybackWorkFilesOf(const Session& session) {
  return {JoinPath(session.workDir(), "TEMP.MIT"), JoinPath(session.workDir(), "TEMP.MID")};
}

PreparedSong PrepareSong(Session& session, const std::string& mf3Path, bool keepLyrics) {
  PreparedSong song;
  const PlaybackWorkFiles work = PlaybackWorkFilesOf(session);
  MakeFolders(session.workDir());
  if (DecodeMf3(session, mf3Path, work.payload, song.header) != 0) return song;
  if (!RenderPlayableMidi(session, work.midi, work.payload, song.header, keepLyrics, &song.midi)) return song;
  std::vector<std::uint8_t> payload;
  if (ReadWholeFile(work.payload, payload)) song.karaoke = KaraokeTimeline::FromPayload(payload);
  song.ok = true;
  return song;
}

int SongPlayback::PlaySong(const std::string& mf3Path) {
  StopSong();
  song_ = PrepareSong(session_, mf3Path);
  path_ = mf3Path;
  if (!song_.ok) return 1;
  player_.onEnded = [this](PlayEnd why) {
    if (why == PlayEnd::Finished && onEnded) onEnded();
  };
  if (!player_.Play(song_.midi.file, SynthOptions::FromSettings(session_.settings(), session_.workDir()))) {
    session_.ShowStopBox(player_.lastError());
    return 1;
  }
  return 0;
}

void SongPlayback::StopSong() {
  player_.Stop();
}

}  // namespace sondesk
