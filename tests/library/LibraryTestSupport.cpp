#include "tests/library/LibraryTestSupport.h"

#include "app/Endian.h"
#include "midi/Lzhuf.h"

namespace sondesk::test {

std::vector<std::uint8_t> BuildDbf(const DbfSpec& spec) {
  std::vector<std::uint8_t> out(32, 0);
  out[0] = 0x03;
  int recordLength = 1;
  for (const auto& f : spec.fields) recordLength += f.second;
  PutLe32(&out[4], static_cast<std::uint32_t>(spec.records.size()));
  PutLe16(&out[8], static_cast<std::uint16_t>(32 + 32 * spec.fields.size() + 1));
  PutLe16(&out[10], static_cast<std::uint16_t>(recordLength));
  for (const auto& [name, length] : spec.fields) {
    std::uint8_t d[32] = {};
    for (std::size_t i = 0; i < name.size() && i < 11; ++i) d[i] = static_cast<std::uint8_t>(name[i]);
    d[11] = 'C';
    d[16] = static_cast<std::uint8_t>(length);
    out.insert(out.end(), d, d + 32);
  }
  out.push_back(0x0D);
  if (spec.zeroAfterTerminator) out.push_back(0x00);
  for (std::size_t r = 0; r < spec.records.size(); ++r) {
    const bool deleted = r < spec.deleted.size() && spec.deleted[r];
    out.push_back(deleted ? '*' : ' ');
    for (std::size_t f = 0; f < spec.fields.size(); ++f) {
      std::string value = f < spec.records[r].size() ? spec.records[r][f] : "";
      value.resize(static_cast<std::size_t>(spec.fields[f].second), ' ');
      out.insert(out.end(), value.begin(), value.end());
    }
  }
  if (spec.eofMarker) out.push_back(0x1A);
  return out;
}

DbfSpec CatalogueSpec(std::vector<std::vector<std::string>> records) {
  DbfSpec spec;
  spec.fields = {{"CODICE", 20},     {"TITOLO", 40},  {"AUTORE", 30},
                 {"INTERPRETE", 30}, {"EDITORE", 30}, {"GENERE", 20}};
  spec.records = std::move(records);
  return spec;
}

void WriteMf3Song(const std::string& path, const Mf3Texts& texts, const std::string& fileName) {
  Mf3Header h = Mf3Header::Fresh();
  h.SetTexts(texts);
  h.SetFileName(fileName);
  // A whole song: the import refuses a header without one.
  const std::vector<std::uint8_t> stream = LzhufCompress(std::vector<std::uint8_t>(16, 0x90));
  h.fileSize = static_cast<std::uint32_t>(Mf3Header::kSize + stream.size());
  std::vector<std::uint8_t> bytes(Mf3Header::kSize, 0);
  h.Serialize(bytes.data());
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  WriteFile(path, bytes);
}

Mf3Header ReadHeader(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  Mf3Header h;
  EXPECT_TRUE(Mf3Header::Parse(bytes, h)) << path;
  return h;
}

void LibraryTest::SetUp() {
  libDir = tmp / "library";
  progDir = tmp / "program";
  workDir = tmp / "work";
  srcDir = tmp / "sources";
  for (const auto& d : {libDir, progDir, workDir, srcDir}) ASSERT_TRUE(MakeFolders(d));
  Paths paths{tmp / "windir", workDir, tmp / "data"};
  ASSERT_TRUE(paths.EnsureFolders());
  session_ = std::make_unique<Session>(ui, paths, clock, 1);
  session_->SetLibraryDir(libDir);
  session_->SetProgramDir(progDir);
}

}  // namespace sondesk::test
