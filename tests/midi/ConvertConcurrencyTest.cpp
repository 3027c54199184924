// Two conversions at once over one work folder, as two programs (or an import's workers) run them:
// each must give the payload it gives alone. With shared work file names one song's rewritten
// lyrics would be converted as the other's.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "midi/MidiToPayload.h"
#include "tests/midi/MidiTestSession.h"

namespace sondesk::test {
namespace {

TEST_F(MidiTest, TwoConversionsAtOnceEachGiveTheirOwnPayload) {
  session().noTextWarning = false;
  const std::string songs[2] = {std::string(SONDESK_TEST_DATA "/midi/auld_lang_syne_192.kar"),
                                std::string(SONDESK_TEST_DATA "/midi/amazing_grace_lyrics_192.mid")};
  MidiBytes alone[2];
  for (int k = 0; k < 2; ++k) {
    MidiConversion conv;
    ASSERT_EQ(ConvertMidiToPayload(session(), songs[k], tmp / "alone.mid", conv), 0);
    ASSERT_TRUE(conv.rewritten) << "the lyric rewrite and its work files must take part";
    alone[k] = ReadBytes(tmp / "alone.mid");
  }
  ASSERT_NE(alone[0], alone[1]);
  ScriptedUi uis[2];
  Session sessions[2] = {Session(session(), uis[0]), Session(session(), uis[1])};
  int mismatches[2] = {0, 0};
  std::thread threads[2];
  for (int k = 0; k < 2; ++k) {
    threads[k] = std::thread([&, k] {
      const std::string out = tmp / ("payload" + std::to_string(k) + ".mid");
      for (int round = 0; round < 30; ++round) {
        MidiConversion conv;
        if (ConvertMidiToPayload(sessions[k], songs[k], out, conv) != 0 || ReadBytes(out) != alone[k]) ++mismatches[k];
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches[0], 0);
  EXPECT_EQ(mismatches[1], 0);
  // Nothing of either conversion is left but the page preview.
  for (const auto& e : std::filesystem::directory_iterator(session().workDir()))
    EXPECT_EQ(e.path().filename(), "TEXT.TXT");
}

}  // namespace
}  // namespace sondesk::test
