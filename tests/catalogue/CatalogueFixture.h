#pragma once
// A session over a card-reader card in a temporary folder, with a library folder beside it and a
// scripted user.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ReaderCardFiles.h"
#include "tests/support/TempDir.h"

namespace sondesk::test {

// An MF3 song of our own making: a header with the given texts and `extra` bytes of body.
std::vector<std::uint8_t> MakeSong(const std::string& title, const std::string& performer = "-",
                                   const std::string& genre = "-", const std::string& fileName = "",
                                   std::size_t extra = 100);

SongEntry CardSong(unsigned number, const std::string& title, const std::string& performer = "",
                   const std::string& category = "");

class CatalogueTest : public ::testing::Test {
 protected:
  CatalogueTest();

  // A file of the card: root when folder is kRootFolder.
  std::string CardPath(int folder, const std::string& name) const { return files->PathOf(folder, name); }
  std::vector<std::uint8_t> CardBytes(const std::string& name) const {
    return ReadBytes(CardPath(kRootFolder, name));
  }
  // Writes a song into the library folder and adds it to the library list.
  std::size_t AddLibrarySong(const std::string& fileName, const std::string& title,
                             const std::string& performer = "-", const std::string& genre = "-");
  // A fresh, empty catalogue on the card (what a format leaves).
  void MakeFreshCard();

  TempDir tmp;
  std::string cardDir, libraryDir;
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;
  std::unique_ptr<ReaderCardFiles> files;
  std::unique_ptr<Catalogue> cat;
};

}  // namespace sondesk::test
