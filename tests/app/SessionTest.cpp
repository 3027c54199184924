#include "app/Session.h"

#include <gtest/gtest.h>

#include "app/Endian.h"
#include "app/ScriptedUi.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteFile;

Paths PathsIn(const TempDir& dir) {
  Paths p;
  p.windir = dir.path();
  p.workDir = dir / "work";
  p.dataDir = dir / "data";
  return p;
}

TEST(SongEntry, TheRecordHasItsFieldsAtTheirOffsets) {
  SongEntry e;
  e.numberText = FormatNumberText(7);
  e.path = "/songs/" + std::string(200, 'A') + ".MF3";  // kept whole in memory
  e.title = "Title";
  e.performer = "Performer";
  e.category = "Category";
  e.listIndex = 0x1234;
  e.edited = 1;
  e.fileSize = 0xA1B2C3D4;
  e.scanNumber = 31;
  e.inBothLists = 1;
  e.deletionMark = -1;
  const auto r = SerializeSongEntry(e);
  static_assert(sizeof(r) == 308);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[0])), "     7");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[16])).size(), 127u);  // cut only in the record
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[144])), "Title");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[172])), "Performer");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[200])), "Category");
  EXPECT_EQ(GetLe16(&r[284]), 0x1234);
  EXPECT_EQ(GetLe16(&r[286]), 1);
  EXPECT_EQ(GetLe32(&r[288]), 0xA1B2C3D4u);
  EXPECT_EQ(GetLe16(&r[296]), 31);
  EXPECT_EQ(GetLe32(&r[300]), 1u);
  EXPECT_EQ(GetLe32(&r[304]), 0xFFFFFFFFu);
  const SongEntry back = ParseSongEntry(r.data());
  EXPECT_EQ(back.title, "Title");
  EXPECT_EQ(back.scanNumber, 31);
  EXPECT_EQ(back.deletionMark, -1);
  EXPECT_EQ(SongEntry::CutText(std::string(40, 'x')).size(), 27u);
}

// The list texts live in the entry: at most 27 characters, and the bytes after the text zero, so
// that a record is written from the field whole.
TEST(SongEntry, ListTextsKeep27CharactersAndNothingAfterThem) {
  SongEntry e;
  e.title = std::string(40, 'L');
  EXPECT_EQ(e.title, std::string(27, 'L'));
  e.title = "Sh";
  EXPECT_EQ(e.title.size(), 2u);
  EXPECT_EQ(std::string(e.title.field(), SongText::kMax + 1), "Sh" + std::string(26, '\0'));
  EXPECT_STREQ(e.title.c_str(), "Sh");
  const SongEntry copy = e;
  EXPECT_EQ(copy.title, e.title);
  EXPECT_TRUE(e.performer.empty());
  EXPECT_LT(e.performer, e.title);
  EXPECT_EQ(e.title + " and " + std::string("more"), "Sh and more");
  const std::string asString = e.title;
  EXPECT_EQ(asString, "Sh");
  e.title.clear();
  EXPECT_EQ(std::string(e.title.field(), SongText::kMax + 1), std::string(28, '\0'));
  // A text ends at a NUL of its own, as every record that holds it does.
  e.category = std::string("AB\0CD", 5);
  EXPECT_EQ(e.category, "AB");
  EXPECT_EQ(std::string(e.category.field(), SongText::kMax + 1), "AB" + std::string(26, '\0'));
}

// A record's field read straight into a list text: the text ends at the field's first NUL, or
// after 27 characters, whatever bytes follow; the bytes after it are zero in the entry.
TEST(SongEntry, ATextFromARecordFieldEndsAtItsNulWhateverFollows) {
  for (std::size_t length = 0; length <= SongText::kMax + 1; ++length) {
    char field[SongText::kMax + 1];
    for (std::size_t i = 0; i < sizeof field; ++i) field[i] = static_cast<char>(i < length ? 'a' + i % 26 : 0x80 | i);
    if (length <= SongText::kMax) field[length] = 0;
    SongText text = "previous text, longer than any";
    text.AssignFromRecordField(field);
    const std::size_t kept = std::min(length, SongText::kMax);
    ASSERT_EQ(text.size(), kept) << length;
    EXPECT_EQ(std::string(text.field(), SongText::kMax + 1),
              std::string(field, kept) + std::string(SongText::kMax + 1 - kept, '\0'))
        << length;
  }
}

TEST(SongList, HoldsAtMost16384Songs) {
  SongList list;
  for (std::size_t i = 0; i < kMaxListSongs; ++i) ASSERT_TRUE(list.push_back(SongEntry{}));
  EXPECT_TRUE(list.full());
  EXPECT_FALSE(list.push_back(SongEntry{}));
  EXPECT_EQ(list.size(), 16384u);
  list.Renumber();
  EXPECT_EQ(list[16383].numberText, " 16383");
  for (int n : {0, 9, 10, 99999, 999999, 1000000, -1, -12345})
    EXPECT_EQ(FormatNumberText(n), Format("%6d", n)) << n;
  EXPECT_EQ(list[16383].listIndex, 16383);
}

TEST(Session, ReadsTheSettingsLanguageAndWritesCardDat) {
  TempDir dir;
  WriteFile(dir / "Sondesk.INI", "[Version]\nlanguage=3\n[Settings]\nInstallpath=" + dir.path() + "\n");
  ScriptedUi ui;
  Session s(ui, PathsIn(dir));
  EXPECT_EQ(s.Text(22), "SONDESK - Achtung");
  EXPECT_EQ(s.linkMode, LinkMode::NoCard);
  EXPECT_STREQ(LinkModeStatusText(s.linkMode), "No Drive");
  EXPECT_STREQ(LinkModeStatusText(LinkMode::Player), "SONVAR-PP");
  EXPECT_STREQ(LinkModeStatusText(LinkMode::CardReader), "CF-Drive");
  EXPECT_EQ(s.libraryDir(), dir.path());

  SongEntry e;
  e.title = "Song";
  e.scanNumber = 5;
  s.card.push_back(e);
  s.card.push_back(e);
  ASSERT_TRUE(s.WriteCardDat());
  const auto data = ReadBytes(dir / "CARD.DAT");
  ASSERT_EQ(data.size(), 4u + 2 * 308);
  EXPECT_EQ(GetLe32(data.data()), 2u);
  EXPECT_EQ(GetLe16(&data[4 + 308 + 296]), 5);

  // A library folder that cannot be written to gives the shared "Cannot Create" box.
  s.SetLibraryDir(dir / "missing");
  EXPECT_FALSE(s.WriteCardDat());
  ASSERT_FALSE(ui.boxes.empty());
  EXPECT_EQ(ui.boxes.back().title, s.Text(25));
  EXPECT_NE(ui.boxes.back().text.find(dir / "missing/CARD.DAT"), std::string::npos);
}

TEST(Session, SharedBoxesAndTheDevicePrompt) {
  TempDir dir;
  ScriptedUi ui;
  ManualClock clock;
  Session s(ui, PathsIn(dir), clock, 1);
  s.ShowOpenError("/x/y.mid");
  EXPECT_EQ(ui.boxes.back().text, "Cannot open /x/y.mid");
  EXPECT_EQ(ui.boxes.back().title, "Read Error");
  EXPECT_EQ(ui.boxes.back().icon, BoxIcon::Stop);
  s.ShowCreateError("/x/z");
  EXPECT_EQ(ui.boxes.back().text, "Cannot Create /x/z");
  EXPECT_EQ(ui.boxes.back().title, "Write Error");
  s.ShowStopBox("Out of memory");
  EXPECT_EQ(ui.boxes.back().title, "SONDESK - Caution");

  ui.boxAnswers.push_back(BoxAnswer::Retry);
  EXPECT_TRUE(s.DevicePrompt());
  EXPECT_EQ(ui.boxes.back().buttons, BoxButtons::RetryCancel);
  EXPECT_EQ(ui.boxes.back().icon, BoxIcon::Warning);
  EXPECT_EQ(ui.boxes.back().text.rfind("Ensure that Sonvar is powered on", 0), 0u);
  EXPECT_FALSE(s.DevicePrompt());  // Cancel
  EXPECT_GE(clock.NowMicros(), 20000u);  // waits 10 ms after each answer

  s.BusyCursorOn();
  s.BusyCursorOn();
  s.BusyCursorOff();
  s.BusyCursorOff();
  EXPECT_EQ(ui.busyOn, 1);
  EXPECT_EQ(ui.busyOff, 1);
}

TEST(Session, TheCardDriveLatchStaysClearedAfterAFailedRead) {
  TempDir dir;
  ScriptedUi ui;
  Session s(ui, PathsIn(dir));
  EXPECT_FALSE(s.CardDriveUsable());  // "Nessuno"
  s.settings().flashDrive = dir.path();
  EXPECT_TRUE(s.CardDriveUsable());
  s.settings().flashDrive = dir / "gone";
  EXPECT_FALSE(s.CardDriveUsable());
  EXPECT_FALSE(s.driveReady);
  s.settings().flashDrive = dir.path();
  EXPECT_FALSE(s.CardDriveUsable());  // not tried again until the user connects
  s.driveReady = true;
  EXPECT_TRUE(s.CardDriveUsable());
}

}  // namespace
}  // namespace sondesk
