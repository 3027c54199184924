#include <gtest/gtest.h>

#include "emulator/FaultPlan.h"

namespace sondesk {
namespace {

TEST(FaultPlanTest, ListsNameEachFaultAndWhenItStrikes) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(ParseFaultList("noack@7,badsum:1%,nak/100,busy,unplug@5000,seed:42", plan, error)) << error;
  EXPECT_EQ(plan.noAck.mode, FaultRule::Mode::Once);
  EXPECT_EQ(plan.noAck.n, 7u);
  EXPECT_EQ(plan.badChecksum.mode, FaultRule::Mode::Chance);
  EXPECT_EQ(plan.badChecksum.perMillion, 10000u);
  EXPECT_EQ(plan.nak.mode, FaultRule::Mode::Every);
  EXPECT_EQ(plan.nak.n, 100u);
  EXPECT_EQ(plan.busy.mode, FaultRule::Mode::Always);
  EXPECT_EQ(plan.unplug.n, 5000u);
  EXPECT_EQ(plan.seed, 42u);
  EXPECT_TRUE(plan.Any());

  FaultPlan fine;
  ASSERT_TRUE(ParseFaultList("badsum:0.5%", fine, error));
  EXPECT_EQ(fine.badChecksum.perMillion, 5000u);
  EXPECT_FALSE(FaultPlan{}.Any());

  for (const char* bad : {"explode", "nak@0", "nak@x", "badsum:0%", "badsum:101%", "badsum:1", "unplug/3",
                          "unplug:5%", "seed", "seed:-1", "nak@3junk"}) {
    FaultPlan p;
    EXPECT_FALSE(ParseFaultList(bad, p, error)) << bad;
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }

  FaultPlan q;
  ASSERT_TRUE(ParseVirtualPortQuery("faults=nak@2&strict=1", q, error));
  EXPECT_TRUE(q.strict);
  EXPECT_EQ(q.nak.n, 2u);
  EXPECT_FALSE(ParseVirtualPortQuery("strict=yes", q, error));
  EXPECT_FALSE(ParseVirtualPortQuery("speed=3", q, error));
  EXPECT_NE(error.find("speed"), std::string::npos);
}

}  // namespace
}  // namespace sondesk
