#include "tests/catalogue/CatalogueFixture.h"

#include "app/Paths.h"
#include "catalogue/CatalogueCheck.h"
#include "midi/Mf3Header.h"

namespace sondesk::test {

std::vector<std::uint8_t> MakeSong(const std::string& title, const std::string& performer,
                                   const std::string& genre, const std::string& fileName, std::size_t extra) {
  Mf3Header h = Mf3Header::Fresh();
  Mf3Texts texts;
  texts.title = title;
  texts.performer = performer;
  texts.genre = genre;
  h.SetTexts(texts);
  h.SetFileName(fileName.empty() ? title : fileName);
  std::vector<std::uint8_t> bytes(Mf3Header::kSize + 4 + extra, 0);
  h.Serialize(bytes.data());
  for (std::size_t i = 0; i < extra; ++i)
    bytes[Mf3Header::kSize + 4 + i] = static_cast<std::uint8_t>(i * 7 + title.size());
  return bytes;
}

SongEntry CardSong(unsigned number, const std::string& title, const std::string& performer,
                   const std::string& category) {
  SongEntry e;
  e.scanNumber = static_cast<std::uint16_t>(number);
  e.title = title;
  e.performer = performer;
  e.category = category;
  e.path = Format("%05u.MF3", number);
  return e;
}

CatalogueTest::CatalogueTest() {
  cardDir = tmp / "card";
  libraryDir = tmp / "library";
  MakeFolders(cardDir);
  MakeFolders(libraryDir);
  Paths paths{tmp / "windir", tmp / "work", tmp / "data"};
  paths.EnsureFolders();
  session = std::make_unique<Session>(ui, paths, clock, 1);
  session->settings().flashDrive = cardDir;
  session->SetLibraryDir(libraryDir);
  session->linkMode = LinkMode::CardReader;
  files = std::make_unique<ReaderCardFiles>(cardDir);
  cat = std::make_unique<Catalogue>(*session, *files);
}

std::size_t CatalogueTest::AddLibrarySong(const std::string& fileName, const std::string& title,
                                          const std::string& performer, const std::string& genre) {
  const std::string path = JoinPath(libraryDir, fileName);
  WriteFile(path, MakeSong(title, performer, genre, fileName, 100 + title.size()));
  SongEntry e;
  e.path = path;
  e.title = title;
  e.performer = performer;
  e.category = genre;
  session->library.push_back(e);
  return session->library.size() - 1;
}

void CatalogueTest::MakeFreshCard() {
  CheckCatalogue(*cat);
  ui.boxes.clear();
}

}  // namespace sondesk::test
