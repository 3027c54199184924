// An import on several cores must be the one-at-a-time import, only sooner: the same library
// files byte for byte, the same questions and boxes in the same order, the same answers applied.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "app/FileBatch.h"
#include "library/SongImport.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/MidiWriter.h"

namespace sondesk::test {
namespace {

namespace fs = std::filesystem;

class ParallelImport : public LibraryTest {
 protected:
  // Corpus songs twice under the same names (so the duplicate question comes), one with a name of
  // digits, a damaged file and an MF3 song among them.
  std::vector<std::string> Sources() {
    std::vector<std::string> corpus = CorpusSongFiles(SONDESK_SOURCE_DIR);
    if (corpus.size() > 14) corpus.resize(14);
    std::vector<std::string> files;
    for (const char* copy : {"first", "second"}) {
      MakeFolders(JoinPath(srcDir, copy));
      for (std::size_t i = 0; i < corpus.size(); ++i) {
        const std::string to = JoinPath(srcDir, std::string(copy) + "/" + fs::path(corpus[i]).filename().string());
        fs::copy_file(corpus[i], to, fs::copy_options::overwrite_existing);
        files.push_back(to);
        if (i == 3) {
          files.push_back(JoinPath(srcDir, std::string(copy) + "/broken.mid"));
          WriteFile(files.back(), "MThd not really");
        }
        if (i == 6) {
          files.push_back(JoinPath(srcDir, std::string(copy) + "/1999 party.mid"));
          fs::copy_file(corpus[i], files.back(), fs::copy_options::overwrite_existing);
        }
        if (i == 9) {
          files.push_back(JoinPath(srcDir, std::string(copy) + "/ready.mf3"));
          WriteMf3Song(files.back(), {"READY", "-", "-", "-", "-", "-"});
        }
      }
    }
    return files;
  }

  struct Outcome {
    std::vector<std::string> boxes, duplicates, warnings, progress;
    std::map<std::string, std::vector<std::uint8_t>> library;
    std::size_t imported = 0;
  };

  Outcome Import(const std::vector<std::string>& files, unsigned workers) {
    fs::remove_all(libDir);
    MakeFolders(libDir);
    ui = ScriptedUi();
    ui.duplicateAnswers = {DuplicateAnswer::ModifyName, DuplicateAnswer::Replace, DuplicateAnswer::ModifyName,
                           DuplicateAnswer::ModifyAllNames};
    ui.warningCheckAnswers = {true, true, false};  // the third no-text warning switches them off
    session().noTextWarning = true;
    Outcome o;
    o.imported = ImportFromPc(session(), files, workers).imported;
    for (const auto& b : ui.boxes) o.boxes.push_back(b.title + ": " + b.text);
    o.duplicates = ui.duplicateQuestions;
    o.warnings = ui.warnings;
    o.progress = ui.progressLines;
    for (const auto& e : fs::directory_iterator(libDir)) o.library[e.path().filename()] = ReadBytes(e.path());
    return o;
  }
};

TEST_F(ParallelImport, GivesTheFilesQuestionsAndBoxesOfTheOneAtATimeImport) {
  const std::vector<std::string> files = Sources();
  ASSERT_GT(files.size(), 10u);
  const Outcome serial = Import(files, 1);
  ASSERT_GT(serial.imported, 8u);
  ASSERT_GE(serial.duplicates.size(), 4u) << "the set must make the duplicate question come";
  ASSERT_GE(serial.warnings.size(), 1u);
  for (unsigned workers : {2u, 3u, 0u}) {
    SCOPED_TRACE(workers);
    const Outcome parallel = Import(files, workers);
    EXPECT_EQ(parallel.imported, serial.imported);
    EXPECT_EQ(parallel.duplicates, serial.duplicates);
    EXPECT_EQ(parallel.warnings, serial.warnings);
    EXPECT_EQ(parallel.boxes, serial.boxes);
    EXPECT_EQ(parallel.progress, serial.progress);
    ASSERT_EQ(parallel.library.size(), serial.library.size());
    for (const auto& [name, bytes] : serial.library) {
      auto it = parallel.library.find(name);
      ASSERT_NE(it, parallel.library.end()) << name;
      EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
  }
  // Every work file went with its operation; only the last lyric page preview is kept.
  if (fs::exists(workDir)) {
    for (const auto& e : fs::directory_iterator(workDir)) EXPECT_EQ(e.path().filename(), "TEXT.TXT");
  }
}

TEST(FileBatchTest, FilesAppearOnlyWhenCommittedAndUncommittedOnesLeaveNothing) {
  TempDir tmp;
  const std::string a = tmp / "A.MF3", b = tmp / "B.MF3";
  WriteFile(a, "old");
  {
    FileBatch batch;
    ASSERT_TRUE(batch.Add(a, std::vector<std::uint8_t>{'n', 'e', 'w'}));
    ASSERT_TRUE(batch.Add(b, std::vector<std::uint8_t>{'b'}));
    EXPECT_TRUE(batch.Pending(b));
    EXPECT_EQ(ReadFile(a), "old");
    EXPECT_FALSE(fs::exists(b));
    // A later file for the same name wins, as a later write would.
    ASSERT_TRUE(batch.Add(b, std::vector<std::uint8_t>{'B'}));
    EXPECT_TRUE(batch.Commit());
    EXPECT_FALSE(batch.Pending(b));
    EXPECT_EQ(ReadFile(a), "new");
    EXPECT_EQ(ReadFile(b), "B");
    ASSERT_TRUE(batch.Add(a, std::vector<std::uint8_t>{'x'}));
  }
  // Never committed: the old file stays and no temporary file is left.
  EXPECT_EQ(ReadFile(a), "new");
  std::size_t files = 0;
  for (const auto& e : fs::directory_iterator(tmp.path())) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 2u);
}

TEST(FileBatchTest, ABackgroundCommitKeepsItsFilesPendingAndReportsWhatFailedAtTheNextCommit) {
  TempDir tmp;
  const std::string a = tmp / "A.MF3", b = tmp / "B.MF3", blocked = tmp / "C.MF3";
  // A folder where a song should go: the rename onto it fails after the data was written.
  fs::create_directories(blocked + "/inside");
  WriteFile(blocked + "/inside/x", "x");
  FileBatch batch;
  ASSERT_TRUE(batch.Add(a, std::vector<std::uint8_t>{'a'}));
  ASSERT_TRUE(batch.Add(blocked, std::vector<std::uint8_t>{'c'}));
  std::vector<std::string> failed;
  batch.CommitInBackground(&failed);
  EXPECT_TRUE(failed.empty());
  EXPECT_EQ(batch.size(), 0u);
  // Whether or not the thread has got to it, the name is taken: a duplicate check must see it.
  EXPECT_TRUE(batch.Pending(a) || fs::exists(a));
  // A later file for the same name goes in after the earlier commit, so it wins.
  ASSERT_TRUE(batch.Add(a, std::vector<std::uint8_t>{'A'}));
  ASSERT_TRUE(batch.Add(b, std::vector<std::uint8_t>{'b'}));
  batch.CommitInBackground(&failed);
  ASSERT_EQ(failed, std::vector<std::string>{blocked});
  failed.clear();
  EXPECT_TRUE(batch.Commit(&failed));
  EXPECT_TRUE(failed.empty());
  EXPECT_FALSE(batch.Pending(a));
  EXPECT_EQ(ReadFile(a), "A");
  EXPECT_EQ(ReadFile(b), "b");
  EXPECT_TRUE(fs::is_directory(blocked));
  // No temporary file of the failed one is left beside the songs.
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator{}), 3);
}

}  // namespace
}  // namespace sondesk::test
