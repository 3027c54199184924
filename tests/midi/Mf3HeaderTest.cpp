#include <gtest/gtest.h>

#include "app/Endian.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/Mf3Header.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using Bytes = std::vector<std::uint8_t>;
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

std::string At(const std::array<std::uint8_t, 512>& b, std::size_t offset) {
  return std::string(reinterpret_cast<const char*>(b.data() + offset));
}

TEST(Mf3Header, FieldsSitAtTheirOffsets) {
  Mf3Header h = Mf3Header::Fresh();
  h.fileSize = 0x01020304;
  h.midiSize = 0xA0B0C0D0;
  h.SetFileName("Song");
  h.SetTexts({"(c)", "Title", "Pub", "Auth", "Perf", "Pop"});
  h.transpose = -3;
  h.tempoOffset = -2;
  h.channels[0] = {1, 2, 3, -4, 5, -6, 7, 6, -12};
  h.channels[15].program = 40;
  h.initialControllers[15] = {100, 64, 10, 20};
  const auto b = h.Serialize();

  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "_MF3");
  EXPECT_EQ(GetLe32(&b[4]), 0x01020304u);
  EXPECT_EQ(GetLe32(&b[12]), 0xA0B0C0D0u);
  EXPECT_EQ(At(b, 42), "Song");
  EXPECT_EQ(At(b, 90), "(c)");
  EXPECT_EQ(At(b, 122), "Title");
  EXPECT_EQ(At(b, 154), "Pub");
  EXPECT_EQ(At(b, 186), "Auth");
  EXPECT_EQ(At(b, 218), "Perf");
  EXPECT_EQ(At(b, 250), "Pop");
  EXPECT_EQ(b[282], 0xFD);
  EXPECT_EQ(GetLe16(&b[284]), 0xFFFE);
  EXPECT_EQ(Bytes(b.begin() + 286, b.begin() + 295), (Bytes{1, 2, 3, 0xFC, 5, 0xFA, 7, 6, 0xF4}));
  EXPECT_EQ(b[286 + 15 * 9 + 1], 40);
  EXPECT_EQ(b[286 + 15 * 9 + 2], 255);  // bank: none
  EXPECT_EQ(Bytes(b.begin() + 430, b.begin() + 434), (Bytes{255, 255, 255, 255}));
  EXPECT_EQ(Bytes(b.begin() + 490, b.begin() + 494), (Bytes{100, 64, 10, 20}));
  EXPECT_EQ(Bytes(b.begin() + 494, b.end()), Bytes(18, 0));
  EXPECT_EQ(Mf3Header::Parse(b.data()), h);
}

TEST(Mf3Header, AnyBytesSurviveParseAndSerialize) {
  // A header written elsewhere may carry bytes this program does not give meaning to (reserved
  // fields, text behind a terminator); rewriting the texts must not disturb them.
  std::array<std::uint8_t, 512> raw{};
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>(i * 37 + 11);
  EXPECT_EQ(Mf3Header::Parse(raw.data()).Serialize(), raw);
  EXPECT_FALSE(Mf3Header::Parse(raw.data()).HasMagic());
  Mf3Header h;
  EXPECT_FALSE(Mf3Header::Parse(std::span<const std::uint8_t>(raw.data(), 511), h));
}

TEST(Mf3Header, TextsAreCutAndUnterminatedFieldsStayInside) {
  Mf3Header h = Mf3Header::Fresh();
  h.SetTexts({std::string(40, 'c'), std::string(31, 't'), "", "a", "p", "g"});
  h.SetFileName(std::string(60, 'n'));
  const Mf3Texts t = h.Texts();
  EXPECT_EQ(t.copyright, std::string(31, 'c'));
  EXPECT_EQ(t.title, std::string(31, 't'));
  EXPECT_EQ(h.copyright[31], '\0');
  EXPECT_EQ(h.FileNameText(), std::string(47, 'n'));
  // A damaged header without terminators: reading stops at the field's end.
  h.title.fill('X');
  h.publisher.fill('Y');
  EXPECT_EQ(h.Texts().title, std::string(32, 'X'));
  // Shorter texts clear what longer ones left behind.
  h.SetTexts({"c", "t", "p", "a", "q", "g"});
  EXPECT_EQ(h.title[1], '\0');
  EXPECT_EQ(h.title[31], '\0');
}

TEST(Mf3HeaderFile, UpdatingTextsChangesOnlyTheHeaderTexts) {
  TempDir dir;
  ScriptedUi ui;
  Session session(ui, PathsIn(dir), SystemClock(), 1);

  Mf3Header h = Mf3Header::Fresh();
  h.channels[3].program = 12;
  h.SetTexts({"c", "Old title", "-", "-", "-", "-"});
  const auto hb = h.Serialize();
  Bytes file(hb.begin(), hb.end());
  for (int i = 0; i < 700; ++i) file.push_back(static_cast<std::uint8_t>(i));
  const std::string path = dir / "01234.MF3";
  WriteFile(path, file);

  const Mf3Texts texts{"(c) 1999", "A title far longer than thirty-one characters", "Pub", "Auth", "Perf",
                       "Rock"};
  ASSERT_EQ(UpdateMf3HeaderTexts(session, path, texts), 0);
  const Bytes after = ReadBytes(path);
  ASSERT_EQ(after.size(), file.size());
  EXPECT_TRUE(std::equal(after.begin() + 512, after.end(), file.begin() + 512));
  Mf3Header read;
  ASSERT_EQ(ReadMf3Header(session, path, read), 0);
  EXPECT_EQ(read.Texts().title, "A title far longer than thirty-");
  EXPECT_EQ(read.Texts().genre, "Rock");
  EXPECT_EQ(read.channels[3].program, 12);
  EXPECT_TRUE(ui.boxes.empty());

  // Not an MF3 file, too short, missing: refused with the read box, the file left as it was.
  const std::string other = dir / "song.mid";
  Bytes mid(600, 0);
  mid[0] = 'M';
  WriteFile(other, mid);
  WriteFile(dir / "short.MF3", std::string("_MF3 short"));
  Mf3HeaderStatus status = Mf3HeaderStatus::Ok;
  EXPECT_EQ(UpdateMf3HeaderTexts(session, other, texts, &status), 1);
  EXPECT_EQ(status, Mf3HeaderStatus::NotMf3);
  EXPECT_EQ(ReadBytes(other), mid);
  EXPECT_EQ(ReadMf3Header(session, dir / "short.MF3", read, &status), 1);
  EXPECT_EQ(status, Mf3HeaderStatus::TooShort);
  EXPECT_EQ(ReadBytes(dir / "short.MF3").size(), 10u);
  EXPECT_EQ(ReadMf3Header(session, dir / "none.MF3", read, &status), 1);
  EXPECT_EQ(status, Mf3HeaderStatus::CannotOpen);
  EXPECT_EQ(ReadMf3HeaderFile(dir.path(), read), Mf3HeaderStatus::CannotOpen);  // a folder
  EXPECT_EQ(ui.boxes.size(), 3u);
  EXPECT_TRUE(ui.Shown("Cannot open " + other));
  EXPECT_EQ(ui.boxes[0].title, "Read Error");
}

}  // namespace
}  // namespace sondesk
