#include "app/Progress.h"

#include <gtest/gtest.h>

#include "app/ScriptedUi.h"

namespace sondesk {
namespace {

TEST(Progress, ATimedRunOfNothingOpensNoWindowButAPlainOneDoes) {
  ScriptedUi ui;
  ManualClock clock;
  Progress p(ui, clock);
  p.ProgressStartTimed(0);
  EXPECT_EQ(ui.progressOpens, 0);
  EXPECT_FALSE(p.active());
  p.ProgressStart(0);
  EXPECT_EQ(ui.progressOpens, 1);
  EXPECT_EQ(ui.progressMaximum, 1u);
  p.ProgressEnd();
  EXPECT_EQ(ui.progressCloses, 1);
}

TEST(Progress, TheBarRangeIsOneMoreThanTheTotalAndModesDoNotMix) {
  ScriptedUi ui;
  ManualClock clock;
  Progress p(ui, clock);
  p.ProgressStartTimed(10);
  EXPECT_EQ(ui.progressMaximum, 11u);
  p.ProgressStepTimed(1);
  p.ProgressStepTimed(1);
  EXPECT_EQ(ui.progressPosition, 2u);
  p.ProgressStep(1);  // a plain step in a timed run does nothing
  EXPECT_EQ(p.done(), 2u);
  for (int i = 0; i < 8; ++i) p.ProgressStepTimed(1);
  EXPECT_EQ(ui.progressPosition, 10u);  // one short of full
  p.ProgressEnd();
  EXPECT_EQ(ui.progressPosition, 0u);

  p.ProgressStart(5);
  p.ProgressStepTimed(1);  // a timed step in a plain run does nothing
  EXPECT_EQ(p.done(), 0u);
  p.ProgressStep(3);
  EXPECT_EQ(p.done(), 3u);
  p.ProgressReset(7);
  EXPECT_EQ(ui.progressMaximum, 8u);
  EXPECT_EQ(p.done(), 0u);
  EXPECT_GT(ui.pumps, 0);
  p.ProgressEnd();
}

TEST(Progress, RemainingTimeAppearsAfterFiveSecondsWithTheWorkedFigures) {
  EXPECT_EQ(Progress::RemainingText(200, 50, 10000), "time to go 30 sec.");
  EXPECT_EQ(Progress::RemainingText(2000, 50, 10000), "Rimane: 6:30");
  EXPECT_EQ(Progress::RemainingText(200, 50, 5000), "");

  ScriptedUi ui;
  ManualClock clock(1'000'000);
  Progress p(ui, clock);
  p.ProgressStartTimed(2000);
  clock.AdvanceMillis(4000);
  p.ProgressStepTimed(10);
  EXPECT_EQ(ui.progressLines.back(), "2:");  // only the cleared line so far
  clock.AdvanceMillis(6000);
  p.ProgressStepTimed(40);
  EXPECT_EQ(ui.progressLines.back(), "2:Rimane: 6:30");
  p.ProgressEnd();
}

}  // namespace
}  // namespace sondesk
