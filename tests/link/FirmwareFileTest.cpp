// The firmware file's check: what line 2 promises, and every record the loader would be sent.

#include <gtest/gtest.h>

#include "app/SRecord.h"
#include "link/FirmwareFile.h"
#include "tests/link/FirmwareRig.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using namespace test;

FirmwareCheck CheckText(const std::string& text) {
  return CheckFirmwareBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(SRecordTest, FormatsAndParsesTheLoaderRecords) {
  const std::uint8_t hdr[] = {'H', 'D', 'R'};
  EXPECT_EQ(FormatSRecord('0', 0, hdr), "S00600004844521B");
  const std::uint8_t data[] = {0x01, 0xFF, 0x80};
  const std::string s2 = FormatSRecord('2', 0x12ABCD, data);
  EXPECT_EQ(s2, "S20712ABCD01FF80EE");
  EXPECT_EQ(FormatSRecord('8', 0, {}), "S804000000FB");

  SRecord r;
  std::string why;
  ASSERT_TRUE(ParseSRecord("s20712abcd01ff80ee" + std::string(), r, why) == false);  // "s" is no record
  ASSERT_TRUE(ParseSRecord("S20712abcd01ff80ee", r, why)) << why;  // lower-case digits are digits
  EXPECT_EQ(r.type, '2');
  EXPECT_EQ(r.address, 0x12ABCDu);
  ASSERT_EQ(r.dataLength, 3u);
  EXPECT_EQ(r.data[1], 0xFF);
  EXPECT_FALSE(ParseSRecord("S20712ABCD01FF80EF", r, why));
  EXPECT_EQ(why, "a record checksum error");
  EXPECT_FALSE(ParseSRecord("S20812ABCD01FF80EE", r, why));  // length byte one too many
  EXPECT_FALSE(ParseSRecord("S2", r, why));
  EXPECT_FALSE(ParseSRecord("S4030000FC", r, why));
}

TEST(FirmwareFileTest, ShippedFileIsValidAndCarriesItsVersionInTheHeader) {
  const FirmwareCheck c = CheckFirmwareFile(ShippedFirmwarePath());
  ASSERT_TRUE(c.valid) << c.reason;
  EXPECT_EQ(c.count, c.declaredCount);
  EXPECT_EQ(c.sum, c.declaredSum);
  EXPECT_EQ(c.dataBytes, 16384u);
  EXPECT_EQ(ValidateFirmwareFile(ShippedFirmwarePath()), 1);
  const std::string version = ReadFirmwareVersion(ShippedFirmwarePath());
  EXPECT_EQ(version, c.version + "\r\n");  // the line end stays with the version
  // The header record's text is the version line: what the player will say it runs.
  const std::string text = ReadFile(ShippedFirmwarePath());
  const std::size_t s0 = text.find("\r\nS0");
  SRecord r;
  std::string why;
  ASSERT_TRUE(ParseSRecord(text.substr(s0 + 2, text.find('\r', s0 + 2) - s0 - 2), r, why)) << why;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data.data()), r.dataLength), c.version);
}

TEST(FirmwareFileTest, CountAndSumMustBeWhatLine2Says) {
  const std::vector<std::string> lines = FirmwareLines();
  std::string text = FirmwareText("Release 1", lines);
  ASSERT_TRUE(CheckText(text).valid) << CheckText(text).reason;

  // The right count with a wrong sum.
  const std::size_t l2 = text.find("\r\n") + 2;
  const std::size_t blank = text.find(' ', l2);
  std::string wrongSum = text;
  wrongSum.insert(blank + 1, "1");
  FirmwareCheck c = CheckText(wrongSum);
  EXPECT_FALSE(c.valid);
  EXPECT_NE(c.reason.find("add up to"), std::string::npos) << c.reason;

  // One byte more than line 2 counts.
  c = CheckText(text + "\r\n");
  EXPECT_FALSE(c.valid);
  EXPECT_NE(c.reason.find("bytes follow"), std::string::npos) << c.reason;

  // A line 2 of the count alone takes the count as the sum too.
  EXPECT_FALSE(CheckText(text.substr(0, blank) + text.substr(text.find("\r\n", l2))).valid);
  EXPECT_FALSE(CheckText("Release 1\r\n").valid);
  EXPECT_FALSE(CheckText("Release 1\r\nabc\r\n").valid);
  EXPECT_FALSE(CheckText("").valid);
}

TEST(FirmwareFileTest, EveryRecordIsCheckedEvenWhenCountAndSumAgree) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    const char* reason;
  };
  std::vector<Case> cases;
  auto base = FirmwareLines();
  auto bad = base;
  bad[4] = WithBadChecksum(bad[4]);
  cases.push_back({"record checksum", bad, "line 7: a record checksum error"});
  bad = base;
  bad[3] += "00";
  cases.push_back({"record length", bad, "line 6: a record of"});
  bad = base;
  bad[2] = "X" + bad[2].substr(1);
  cases.push_back({"not a record", bad, "line 5: not an S-record"});
  bad = base;
  bad[2] = FormatSRecord('1', 0x100, std::vector<std::uint8_t>(4, 1));
  cases.push_back({"16-bit record", bad, "line 5: an S1 record"});
  bad = base;
  bad.pop_back();
  cases.push_back({"no end", bad, "no end record"});
  bad = base;
  bad.push_back(base[1]);
  cases.push_back({"after the end", bad, "a record after the end record"});
  bad = base;
  bad.erase(bad.begin());
  cases.push_back({"no header", bad, "data before the header record"});
  bad = base;
  bad[1] = FormatSRecord('2', 0x100, std::vector<std::uint8_t>(36, 0x55));  // 80 characters
  cases.push_back({"long line", bad, "line 4 is longer than 78 characters"});
  bad = base;
  bad[1] = "S2";
  cases.push_back({"stub", bad, "line 4: not an S-record"});

  for (const Case& k : cases) {
    const FirmwareCheck c = CheckText(FirmwareText("Release 1", k.lines));
    EXPECT_FALSE(c.valid) << k.name;
    EXPECT_NE(c.reason.find(k.reason), std::string::npos) << k.name << ": " << c.reason;
  }

  // Empty lines are sent as a bare return, which the loader skips: they may stand anywhere.
  auto withBlanks = base;
  withBlanks.insert(withBlanks.begin() + 2, "");
  withBlanks.push_back("");
  EXPECT_TRUE(CheckText(FirmwareText("Release 1", withBlanks)).valid);
}

TEST(FirmwareFileTest, LineEndsOtherThanCrLfDoNotShiftTheCount) {
  // Line 2 ended by LF alone: the first byte of line 3 belongs to the count, not to the line end.
  std::string body;
  for (const std::string& l : FirmwareLines()) body += l + "\n";
  std::uint64_t sum = 0;
  for (unsigned char ch : body) sum += ch;
  const std::string text = "Release 1\n" + std::to_string(body.size()) + " " + std::to_string(sum) + "\n" + body;
  const FirmwareCheck c = CheckText(text);
  EXPECT_TRUE(c.valid) << c.reason;
  EXPECT_EQ(c.version, "Release 1");
}

TEST(FirmwareFileTest, FilesThatCannotBeReadAreInvalid) {
  TempDir dir;
  EXPECT_EQ(ValidateFirmwareFile(dir / "missing.mhx"), 0);
  EXPECT_EQ(CheckFirmwareFile(dir / "missing.mhx").reason, "cannot be opened");
  EXPECT_EQ(ValidateFirmwareFile(dir.path()), 0);  // a folder
  EXPECT_EQ(ReadFirmwareVersion(dir / "missing.mhx"), "");
  WriteFile(dir / "long.mhx", std::string(3000, 'v') + "\r\n");
  EXPECT_EQ(ReadFirmwareVersion(dir / "long.mhx").size(), 1023u);
}

}  // namespace
}  // namespace sondesk
