// Two writers on one thing: the second waits, then is refused by name; one process never waits for
// itself.

#include "app/WriteLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::TempDir;

TEST(WriteLock, ASecondWriterIsRefusedWhileTheFirstHoldsTheLock) {
  TempDir dir;
  ::setenv("SONDESK_LOCK_WAIT_MS", "300", 1);
  int toChild[2], fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    auto lock = WriteLock::Acquire(dir.path(), "the library folder", error);
    char c = lock ? 'y' : 'n';
    (void)!::write(fromChild[1], &c, 1);
    (void)!::read(toChild[0], &c, 1);  // hold it until told
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(fromChild[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  std::string error;
  EXPECT_EQ(WriteLock::Acquire(dir.path(), "the library folder", error), nullptr);
  EXPECT_NE(error.find("the library folder (" + dir.path() + ") is being changed by another"), std::string::npos)
      << error;
  (void)!::write(toChild[1], "x", 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  // The first writer is gone, and so is its lock.
  auto lock = WriteLock::Acquire(dir.path(), "the library folder", error);
  ASSERT_NE(lock, nullptr) << error;
  // Nested writes of one command share the lock instead of waiting for themselves.
  auto again = WriteLock::Acquire(dir.path(), "the library folder", error);
  EXPECT_NE(again, nullptr);
  ::unsetenv("SONDESK_LOCK_WAIT_MS");
}

TEST(WriteLock, AMissingPathCannotBeLocked) {
  std::string error;
  EXPECT_EQ(WriteLock::Acquire("/nonexistent/sondesk", "the card", error), nullptr);
  EXPECT_NE(error.find("cannot lock the card"), std::string::npos);
}

}  // namespace
}  // namespace sondesk
