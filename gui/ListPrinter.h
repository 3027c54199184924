#pragma once
// The printed list of songs: a page header with the program, the list's title and the date, a grey
// heading band, rows of title, performer and category in a ruled table, and "Page n of m" below.

#include <QString>
#include <QStringList>
#include <vector>

#include "library/PrintLayout.h"

class QPagedPaintDevice;
class QPrintDialog;
class QPrinter;
class QWidget;

namespace sondesk {

class MainDlg;
class Session;

struct PrintRow {
  QString title, performer, category;
};

// The page geometry is the core's (library/PrintLayout.h).

struct PrintJob {
  QString title;       // "Lista delle song su Hard Disk"
  QString makerLine;   // bottom left
  QString pageFormat;  // "Page %d of %d"
  QString date;        // "dd/mm/yyyy"
  std::vector<PrintRow> rows;
};
// Paints every page on the device; the number of pages. An empty list paints nothing at all (a
// printer that was never painted on gives out no sheet).
int PaintSongPages(QPagedPaintDevice& device, const PrintJob& job);

// The print dialog with the choice of the list on its face: "Hard Disk" (the library) or
// "Son Flash" (the card, ticked when it opens), the card offered only when one is present.
QPrintDialog* MakePrintDialog(QPrinter& printer, bool cardPresent, QWidget* parent);
// The list the dialog chose: true for the library.
bool PrintDialogChoseLibrary(const QPrintDialog& dialog);

// The rows of a list in the order the window shows them; only the selected ones when `selection`.
PrintJob MakePrintJob(const Session& session, MainDlg& window, bool library, bool selection,
                      const char* cardTitle, const char* libraryTitle);

// The pages as they will print, with Print and Cancel; true when the user chose Print.
bool ShowPrintPreview(QPrinter& printer, const PrintJob& job, QWidget* parent);

// The Print command: the print dialog with the list choice, a preview, then the chosen list's rows
// in the order the list shows them (the selected ones when the user chose "Selection").
void PrintSongLists(Session& session, MainDlg& window, bool cardPresent, const char* cardTitle,
                    const char* libraryTitle);

}  // namespace sondesk
