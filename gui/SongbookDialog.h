#pragma once
// The save dialog of the songbook: a PDF file name and the list to make it of, "Hard Disk" (the
// library) or "Son Flash" (the card, ticked when a card is present, offered only then).

#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace sondesk {

class Session;

struct SongbookChoice {
  std::string path;
  bool ofCard = true;
};

// Builds the dialog (for tests and the screenshot tour).
QFileDialog* MakeSongbookDialog(const Session& session, bool cardPresent, QWidget* parent);
// Asks for the file and the list; nullopt when the user cancels.
std::optional<SongbookChoice> AskSongbookFile(const Session& session, bool cardPresent, QWidget* parent);

}  // namespace sondesk
