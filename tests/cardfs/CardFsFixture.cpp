#include "tests/cardfs/CardFsFixture.h"

#include <cstdio>
#include <fstream>

#include "app/Endian.h"
#include "cardfs/DirEntry.h"

namespace sondesk::test {

CardFsTest::CardFsTest() {
  Paths paths;
  paths.windir = dir / "win";
  paths.workDir = dir / "work";
  paths.dataDir = dir / "data";
  paths.EnsureFolders();
  clock.SetAutoAdvance(1000);
  session = std::make_unique<Session>(ui, paths, clock, 1);
  session->SetProgramDir(SONDESK_PROGRAM_DIR);
}

std::unique_ptr<CardFileSystem> CardFsTest::FileSystem(SectorDevice& device) {
  auto fs = std::make_unique<CardFileSystem>(*session, device);
  fs->localTime = [] {
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = 14;
    tm.tm_min = 30;
    tm.tm_sec = 46;
    return tm;
  };
  fs->formatReportPath = dir / "FormatFresh.html";
  return fs;
}

std::unique_ptr<MemorySectorDevice> CardFsTest::FormattedCard(std::uint32_t megabytes) {
  auto card = std::make_unique<MemorySectorDevice>(std::vector<std::uint8_t>(megabytes * 1024u * 1024u, 0));
  auto fs = FileSystem(*card);
  EXPECT_EQ(fs->FormatCard(), 1) << fs->lastErrorText();
  return card;
}

std::string CardFsTest::SaveImage(const MemorySectorDevice& card, const std::string& name) {
  const std::string path = dir / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const auto& bytes = const_cast<MemorySectorDevice&>(card).bytes();
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> out(size);
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return out;
}

int Shell(const std::string& command, std::string* output) {
  std::FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  const int status = ::pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const char* name) {
  return Shell(std::string("command -v ") + name + " >/dev/null || test -x /usr/sbin/" + name +
               " || test -x /sbin/" + name) == 0;
}

std::uint64_t PartitionOffset(const std::vector<std::uint8_t>& image) {
  return static_cast<std::uint64_t>(GetLe32(image.data() + 446 + 8)) * 512;
}

int FsckPartition(const std::string& image, std::string* output) {
  std::ifstream in(image, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::uint64_t offset = PartitionOffset(bytes);
  const std::uint64_t length = static_cast<std::uint64_t>(GetLe32(bytes.data() + 446 + 12)) * 512;
  const std::string part = image + ".part";
  std::ofstream out(part, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data() + offset), static_cast<std::streamsize>(length));
  out.close();
  return Shell("PATH=$PATH:/usr/sbin:/sbin fsck.fat -n '" + part + "'", output);
}

std::string Name11(const char* name) {
  return *MakeName11(name);
}

}  // namespace sondesk::test
