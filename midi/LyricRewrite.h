#pragma once
// The lyric page rewrite: a song whose lyrics are plain lyric or text events gets a work file
// "Tune1000.MID" in which they travel as the player's own lyric page events.

#include <string>

#include "app/Session.h"
#include "midi/LyricPages.h"
#include "midi/MidiStreamReader.h"

namespace sondesk {

// What the analysis of the source found, whether or not it rewrote the song: the conversion's
// no-text warning is decided from these two counts.
struct LyricRewriteCounts {
  int lineAdvanceCount = 0;       // line-advance lyric events the source already holds
  int lyricCharCount = 0;         // characters of the chosen lyric stream, 0 when none was chosen
  int chosenSlot = -1;            // its slot: the track, + 64 for text events
  bool sourceUnreadable = false;  // the reader could not open the source or its header
  StreamDamage damage;            // where the source was found damaged; it was rewritten up to there
  bool lyricsCut = false;         // the lyrics went past the stream's capacity: whole pages were kept
  bool chordsCut = false;         // more chords than the pages take: the rest was left out
};

// 1 when "Tune1000.MID" was written into `workDir` and is to be converted instead of the source,
// else 0.
int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir);
// The same, also giving the counts of the analysis (the conversion calls this one).
int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir,
                     LyricRewriteCounts& counts);
// The same, also giving the pages it built (empty when it did not rewrite): for the preview on
// the terminal and for tests. `pages` may be null.
int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir,
                     LyricRewriteCounts& counts, LyricLayout* pages);

}  // namespace sondesk
