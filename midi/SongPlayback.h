#pragma once
// Playing a library or card song on the PC: the MF3 file is decoded into the work folder, rewritten
// into a playable MIDI file with the header's mixer, and handed to the synthesizer; its lyric
// pages are read at the same time for the karaoke view. Front ends own one of these per window.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "midi/KaraokeTimeline.h"
#include "midi/Mf3Header.h"
#include "midi/PlayableMidi.h"
#include "midi/SynthPlayer.h"

namespace sondesk {

class Session;

// The work files of one playback, both in the work folder and overwritten by the next one.
struct PlaybackWorkFiles {
  std::string payload;  // the decompressed payload ("TEMP.MIT")
  std::string midi;     // the file that is played ("TEMP.MID")
};
PlaybackWorkFiles PlaybackWorkFilesOf(const Session& session);

// A song made ready to play: decoded, rewritten, its lyric pages read. Boxes tell what failed
// ("Cannot open %s" for a song that cannot be read, the renderer's for a damaged one).
struct PreparedSong {
  bool ok = false;
  Mf3Header header;
  PlayableMidi midi;
  KaraokeTimeline karaoke;
};
PreparedSong PrepareSong(Session& session, const std::string& mf3Path, bool keepLyrics = false);

class SongPlayback {
 public:
  explicit SongPlayback(Session& session) : session_(session) {}

  // Stops any song, prepares `mf3Path` and starts it. 0 when it plays; 1 when it could not be
  // prepared or the synthesizer could not start (told in a stop box).
  int PlaySong(const std::string& mf3Path);
  // Stops the song; `onEnded` is not called for it.
  void StopSong();
  bool playing() const { return player_.playing(); }
  std::uint64_t CurrentTick() const { return player_.CurrentTick(); }

  // The song now or last played.
  const PreparedSong& song() const { return song_; }
  const std::string& songPath() const { return path_; }
  SynthPlayer& player() { return player_; }

  // The song reached its end by itself; called from the synthesizer's thread.
  std::function<void()> onEnded;

 private:
  Session& session_;
  SynthPlayer player_;
  PreparedSong song_;
  std::string path_;
};

}  // namespace sondesk
