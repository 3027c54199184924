#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "app/Endian.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/Mf3File.h"
#include "tests/support/TempDir.h"

namespace sondesk {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::ReadBytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

Paths PathsIn(const TempDir& dir) {
  Paths p;
  p.windir = dir.path();
  p.workDir = dir / "work";
  p.dataDir = dir / "data";
  return p;
}

// A small payload shaped like the conversion's output.
Bytes Payload() {
  Bytes p = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
  for (int i = 0; i < 500; ++i) {
    for (std::uint8_t b :
         {std::uint8_t(0x00), std::uint8_t(0x90), std::uint8_t(60 + i % 12), std::uint8_t(100),
          std::uint8_t(0x83), std::uint8_t(0x60), std::uint8_t(0x80), std::uint8_t(60 + i % 12)})
      p.push_back(b);
  }
  for (std::uint8_t b : {0x00, 0xFF, 0x2F, 0x00}) p.push_back(b);
  return p;
}

std::size_t FilesIn(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(Mf3File, BuildFillsTheHeaderAndDecodesBack) {
  const Bytes payload = Payload();
  Mf3Header h = Mf3Header::Fresh();
  h.channels[9].program = 0;  // set by the conversion, kept by the writer
  Bytes file;
  ASSERT_EQ(BuildMf3(h, "My Song.MF3", payload, file), Mf3Status::Ok);
  EXPECT_EQ(h.fileSize, file.size());
  EXPECT_EQ(h.midiSize, payload.size());
  EXPECT_EQ(GetLe32(&file[512]), payload.size());
  EXPECT_EQ(GetLe32(&file[4]), file.size());
  EXPECT_EQ(GetLe32(&file[12]), payload.size());
  EXPECT_EQ(h.FileNameText(), "My Song");
  const Mf3Texts t = h.Texts();
  EXPECT_EQ(t.title, "My Song.MF3");
  EXPECT_EQ(t.publisher, "-");
  EXPECT_EQ(t.author, "-");
  EXPECT_EQ(t.performer, "-");
  EXPECT_EQ(t.genre, "-");
  EXPECT_EQ(t.copyright, "");
  EXPECT_EQ(Mf3Header::Parse(file.data()), h);

  Mf3Header back;
  Bytes decoded;
  ASSERT_EQ(DecodeMf3Bytes(file, back, decoded), Mf3Status::Ok);
  EXPECT_EQ(decoded, payload);
  EXPECT_EQ(back, h);
  EXPECT_EQ(back.channels[9].program, 0);
  EXPECT_EQ(back.channels[8].program, 255);

  // An empty payload is the header and a size word of zero; a one-byte payload a short stream.
  Mf3Header e = Mf3Header::Fresh();
  ASSERT_EQ(BuildMf3(e, "e.MF3", {}, file), Mf3Status::Ok);
  EXPECT_EQ(file.size(), 516u);
  EXPECT_EQ(e.fileSize, 516u);
  EXPECT_EQ(GetLe32(&file[512]), 0u);
  ASSERT_EQ(DecodeMf3Bytes(file, back, decoded), Mf3Status::Ok);
  EXPECT_TRUE(decoded.empty());
  const Bytes one = {0x42};
  ASSERT_EQ(BuildMf3(e, "o.MF3", one, file), Mf3Status::Ok);
  EXPECT_EQ(file.size(), 517u);
  ASSERT_EQ(DecodeMf3Bytes(file, back, decoded), Mf3Status::Ok);
  EXPECT_EQ(decoded, one);
}

TEST(Mf3File, NamesAreStrippedAndCut) {
  EXPECT_EQ(Mf3FileNameOf("C:\\Songs\\Volare.MF3"), "Volare");
  EXPECT_EQ(Mf3FileNameOf("/lib/a.b.MF3"), "a.b");
  EXPECT_EQ(Mf3FileNameOf("NoExtension"), "NoExtension");
  EXPECT_EQ(Mf3FileNameOf(std::string(60, 'x') + ".MF3"), std::string(47, 'x'));
  Mf3Header h;  // not even the magic: the writer sets it
  const std::string longName = std::string(40, 'y') + ".MF3";
  PrepareMf3Header(h, longName);
  EXPECT_TRUE(h.HasMagic());
  EXPECT_EQ(h.FileNameText(), std::string(40, 'y'));
  EXPECT_EQ(h.Texts().title, std::string(31, 'y'));
}

TEST(Mf3File, NotMf3AndDamagedFilesAreToldApart) {
  Mf3Header h = Mf3Header::Fresh();
  Bytes file;
  ASSERT_EQ(BuildMf3(h, "s.MF3", Payload(), file), Mf3Status::Ok);
  Mf3Header out;
  Bytes payload;
  Bytes mthd = file;
  std::memcpy(mthd.data(), "MThd", 4);
  EXPECT_EQ(DecodeMf3Bytes(mthd, out, payload), Mf3Status::NotMf3);
  EXPECT_EQ(DecodeMf3Bytes(Bytes(file.begin(), file.begin() + 511), out, payload), Mf3Status::NotMf3);
  EXPECT_EQ(DecodeMf3Bytes(Bytes(file.begin(), file.begin() + 514), out, payload), Mf3Status::Damaged);
  EXPECT_EQ(DecodeMf3Bytes(Bytes(file.begin(), file.end() - 3), out, payload), Mf3Status::Damaged);
  EXPECT_EQ(DecodeMf3Bytes(Bytes(file.begin(), file.begin() + 512), out, payload), Mf3Status::Damaged);
}

TEST(Mf3File, WriteAndDecodeThroughFiles) {
  TempDir dir;
  ScriptedUi ui;
  Session session(ui, PathsIn(dir), SystemClock(), 1);
  MakeFolders(dir / "out");
  const Bytes payload = Payload();
  WriteFile(dir / "TEMP.MID", payload);

  Mf3Header h = Mf3Header::Fresh();
  ASSERT_EQ(WriteMf3(session, dir / "TEMP.MID", dir / "out/Song.MF3", "Song.MF3", h), 0);
  const Bytes file = ReadBytes(dir / "out/Song.MF3");
  EXPECT_EQ(h.fileSize, file.size());
  EXPECT_EQ(GetLe32(&file[4]), file.size());
  EXPECT_EQ(GetLe32(&file[12]), GetLe32(&file[512]));
  EXPECT_EQ(FilesIn(dir / "out"), 1u) << "no temporary file left behind";

  Mf3Header back;
  ASSERT_EQ(DecodeMf3(session, dir / "out/Song.MF3", dir / "back.mid", back), 0);
  EXPECT_EQ(ReadBytes(dir / "back.mid"), payload);
  EXPECT_EQ(back, h);
  EXPECT_TRUE(ui.boxes.empty());

  // A payload that cannot be read: the read box, and the older song of that name untouched.
  Mf3Status status = Mf3Status::Ok;
  EXPECT_EQ(WriteMf3(session, dir / "missing.mid", dir / "out/Song.MF3", "Song.MF3", h, &status), 1);
  EXPECT_EQ(status, Mf3Status::CannotOpen);
  EXPECT_TRUE(ui.Shown("Cannot open " + (dir / "missing.mid")));
  EXPECT_EQ(ReadBytes(dir / "out/Song.MF3"), file);
  EXPECT_EQ(WriteMf3(session, dir / "out", dir / "out/Other.MF3", "Other.MF3", h, &status), 1);  // a folder
  EXPECT_FALSE(IsFile(dir / "out/Other.MF3"));

  // A target that cannot be created: the write box, nothing left behind.
  EXPECT_EQ(WriteMf3(session, dir / "TEMP.MID", dir / "nofolder/Song.MF3", "Song.MF3", h, &status), 1);
  EXPECT_EQ(status, Mf3Status::CannotCreate);
  EXPECT_EQ(ui.boxes.back().text, "Cannot Create " + (dir / "nofolder/Song.MF3"));
  EXPECT_EQ(ui.boxes.back().title, "Write Error");

  // Decoding a file that is not an MF3 or is damaged writes no output and keeps an older one.
  WriteFile(dir / "old.mid", std::string("older payload"));
  WriteFile(dir / "plain.mid", payload);
  EXPECT_EQ(DecodeMf3(session, dir / "plain.mid", dir / "old.mid", back, &status), 1);
  EXPECT_EQ(status, Mf3Status::NotMf3);
  EXPECT_TRUE(ui.Shown("Cannot open " + (dir / "plain.mid")));
  WriteFile(dir / "cut.MF3",
            Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(512 + (file.size() - 512) / 2)));
  EXPECT_EQ(DecodeMf3(session, dir / "cut.MF3", dir / "old.mid", back, &status), 1);
  EXPECT_EQ(status, Mf3Status::Damaged);
  EXPECT_EQ(ReadFile(dir / "old.mid"), "older payload");
  EXPECT_EQ(DecodeMf3(session, dir / "out/Song.MF3", dir / "nofolder/x.mid", back, &status), 1);
  EXPECT_EQ(status, Mf3Status::CannotCreate);
}

}  // namespace
}  // namespace sondesk
