#pragma once
// What the card tests share: a session on a scripted Ui in a temporary folder, the program folder
// of the build (for MBRPBR.DAT), cards in memory and on disk, and the peers that judge our images
// (mtools, dosfstools).

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "cardfs/CardFileSystem.h"
#include "cardfs/MemorySectorDevice.h"
#include "tests/support/TempDir.h"

namespace sondesk::test {

class CardFsTest : public ::testing::Test {
 protected:
  CardFsTest();

  // A blank (all zero) card of `megabytes` in memory, formatted by our own format and mounted.
  std::unique_ptr<MemorySectorDevice> FormattedCard(std::uint32_t megabytes);
  // A file system over `device`, the clock fixed at 2024-03-05 14:30:46.
  std::unique_ptr<CardFileSystem> FileSystem(SectorDevice& device);

  // Copies the bytes of a memory card into an image file, and back.
  std::string SaveImage(const MemorySectorDevice& card, const std::string& name);

  TempDir dir;
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;
};

// Deterministic file contents of `size` bytes, different for every `seed`.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed);

// Runs a shell command; its exit status, and its output in `output` when given.
int Shell(const std::string& command, std::string* output = nullptr);
bool HaveTool(const char* name);

// The byte offset of partition 1 of an image (mtools' "@@offset"), from its MBR.
std::uint64_t PartitionOffset(const std::vector<std::uint8_t>& image);

// fsck.fat -n on the partition of `image` (copied out to a file of its own); its exit status and
// report in `output`.
int FsckPartition(const std::string& image, std::string* output);

std::string Name11(const char* name);

}  // namespace sondesk::test
