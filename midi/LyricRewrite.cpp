#include "midi/LyricRewrite.h"

namespace sondesk {

// Until the page builder is in place every song is converted as it stands.
int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir,
                     LyricRewriteCounts& counts) {
  (void)session;
  (void)sourcePath;
  (void)workDir;
  counts = LyricRewriteCounts{};
  return 0;
}

int RewriteLyricSong(Session& session, const std::string& sourcePath, const std::string& workDir) {
  LyricRewriteCounts counts;
  return RewriteLyricSong(session, sourcePath, workDir, counts);
}

}  // namespace sondesk
