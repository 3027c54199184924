#include "app/SideWorker.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace sondesk {
namespace {

TEST(SideWorker, RunsBothPiecesEveryTimeAndOnTheSecondProcessorWhereThereIsOne) {
  SideWorker worker;
  int here = 0, side = 0;
  std::thread::id sideThread;
  for (int i = 0; i < 500; ++i) {
    worker.RunBeside(
        [&] {
          ++side;
          sideThread = std::this_thread::get_id();
        },
        [&] { ++here; });
    // Both are done when the call returns: the counts are read without a race.
    ASSERT_EQ(side, i + 1);
    ASSERT_EQ(here, i + 1);
  }
  if (SideWorker::HasSecondProcessor()) {
    EXPECT_NE(sideThread, std::this_thread::get_id());
  }
}

TEST(SideWorker, AnErrorOnEitherSideReachesTheCallerOnlyOnceBothAreDone) {
  SideWorker worker;
  std::atomic<bool> sideDone{false};
  try {
    worker.RunBeside(
        [&] {
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
          sideDone = true;
        },
        [] { throw std::runtime_error("here"); });
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "here");
    EXPECT_TRUE(sideDone);
  }
  EXPECT_THROW(worker.RunBeside([] { throw std::logic_error("side"); }, [] {}), std::logic_error);
  // The caller's own error is the one told when both fail.
  try {
    worker.RunBeside([] { throw std::logic_error("side"); }, [] { throw std::runtime_error("here"); });
  } catch (const std::runtime_error&) {
  }
  // The worker serves on after errors.
  int side = 0, here = 0;
  worker.RunBeside([&] { ++side; }, [&] { ++here; });
  EXPECT_EQ(side + here, 2);
}

TEST(SideWorker, WithOneProcessorBothPiecesRunOnTheCaller) {
  cpu_set_t all;
  ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int c = 0; c < CPU_SETSIZE; ++c) {
    if (CPU_ISSET(c, &all)) {
      CPU_SET(c, &one);
      break;
    }
  }
  ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_FALSE(SideWorker::HasSecondProcessor());
  std::thread::id sideThread;
  {
    SideWorker worker;
    worker.RunBeside([&] { sideThread = std::this_thread::get_id(); }, [] {});
  }
  ::sched_setaffinity(0, sizeof all, &all);
  EXPECT_EQ(sideThread, std::this_thread::get_id());
}

}  // namespace
}  // namespace sondesk
