#pragma once
// The save dialog of "Save Database": the system's file dialog with the choice of the list to
// export, "Hard Disk" (the library) or "Son Flash" (the card, ticked when it opens).

#include <QString>
#include <optional>
#include <string>

#include "library/TextExport.h"

class QWidget;
class QFileDialog;

namespace sondesk {

class Session;

struct ExportChoice {
  std::string path;
  ExportList list = ExportList::Card;
};

// Builds the dialog (for the screenshot tour and tests); `hardDisk` receives the "Hard Disk" button.
QFileDialog* MakeExportDialog(const Session& session, QWidget* parent);

// Asks for the file and the list; nullopt when the user cancels.
std::optional<ExportChoice> AskExportFile(const Session& session, QWidget* parent);

// The two radio buttons the export and print dialogs add: "Hard Disk" not ticked, "Son Flash" ticked.
QWidget* MakeListChoice(QWidget* parent);
// True when "Hard Disk" is ticked in a widget made by MakeListChoice.
bool ListChoiceIsLibrary(const QWidget* choice);

}  // namespace sondesk
