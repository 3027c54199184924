#pragma once
// What the library tests share: a session over fresh library, program and work folders with the
// scripted Ui and English texts, a dBASE table builder and a maker of small MF3 files.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/Mf3Header.h"
#include "tests/support/TempDir.h"

namespace sondesk::test {

// A dBASE III table of character fields.
struct DbfSpec {
  std::vector<std::pair<std::string, int>> fields;  // name, length
  std::vector<std::vector<std::string>> records;
  std::vector<bool> deleted;         // per record; missing means not deleted
  bool zeroAfterTerminator = false;  // 0x0D 0x00 before the data, as some writers do
  bool eofMarker = true;             // the closing 0x1A
};
std::vector<std::uint8_t> BuildDbf(const DbfSpec& spec);

// The sample catalogue's six fields, with a 40-character title field.
DbfSpec CatalogueSpec(std::vector<std::vector<std::string>> records);

// An MF3 file of an empty payload whose header holds `texts` and `fileName`.
void WriteMf3Song(const std::string& path, const Mf3Texts& texts, const std::string& fileName = "");
Mf3Header ReadHeader(const std::string& path);

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;

  Session& session() { return *session_; }
  std::string Lib(const std::string& name) const { return JoinPath(libDir, name); }
  std::string Prog(const std::string& name) const { return JoinPath(progDir, name); }

  TempDir tmp;
  ScriptedUi ui;
  ManualClock clock;
  std::string libDir, progDir, workDir, srcDir;
  std::unique_ptr<Session> session_;
};

}  // namespace sondesk::test
