#include "tests/catalogue/CatalogueFixture.h"

#include <algorithm>

#include "midi/Lzhuf.h"

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
  // A whole song (the card copy refuses damaged ones) that still takes header + 4 + extra bytes:
  // a short payload's stream, padded with zeros, which the decoder ignores.
  std::vector<std::uint8_t> payload(std::max<std::size_t>(1, extra / 8));
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7 + title.size());
  const std::vector<std::uint8_t> stream = LzhufCompress(payload);
  std::vector<std::uint8_t> bytes(Mf3Header::kSize + std::max(4 + extra, stream.size()), 0);
  h.Serialize(bytes.data());
  std::copy(stream.begin(), stream.end(), bytes.begin() + Mf3Header::kSize);
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
