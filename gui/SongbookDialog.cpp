#include "gui/SongbookDialog.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QRadioButton>

#include "app/Session.h"
#include "gui/ExportDialog.h"
#include "gui/Text.h"
#include "library/Songbook.h"

namespace sondesk {

QFileDialog* MakeSongbookDialog(const Session& session, bool cardPresent, QWidget* parent) {
  const SongbookTexts texts = SongbookTextsFor(session.messages().language());
  auto* dlg = new QFileDialog(parent, Q(texts.bookTitle));
  dlg->setObjectName("SongbookDialog");
  // Qt's own dialog, because the list choice lives inside it.
  dlg->setOption(QFileDialog::DontUseNativeDialog, true);
  dlg->setAcceptMode(QFileDialog::AcceptSave);
  dlg->setFileMode(QFileDialog::AnyFile);
  dlg->setNameFilter(QStringLiteral("PDF (*.pdf *.PDF)"));
  dlg->setDefaultSuffix(QStringLiteral("pdf"));
  dlg->setDirectory(PathQ(session.libraryDir()));
  dlg->selectFile(Q(texts.bookTitle) + QStringLiteral(".pdf"));
  dlg->resize(820, 540);
  QWidget* choice = MakeListChoice(dlg);
  if (!cardPresent) {
    choice->findChild<QRadioButton*>(QStringLiteral("hardDisk"))->setChecked(true);
    choice->findChild<QRadioButton*>(QStringLiteral("sonFlash"))->hide();
  }
  if (auto* grid = qobject_cast<QGridLayout*>(dlg->layout())) {
    grid->addWidget(choice, grid->rowCount(), 0, 1, grid->columnCount());
  }
  return dlg;
}

std::optional<SongbookChoice> AskSongbookFile(const Session& session, bool cardPresent, QWidget* parent) {
  QFileDialog* dlg = MakeSongbookDialog(session, cardPresent, parent);
  std::optional<SongbookChoice> out;
  if (dlg->exec() == QDialog::Accepted && !dlg->selectedFiles().isEmpty()) {
    SongbookChoice c;
    c.path = PathStd(dlg->selectedFiles().first());
    const QWidget* choice = dlg->findChild<QWidget*>(QStringLiteral("listChoice"));
    c.ofCard = cardPresent && !(choice != nullptr && ListChoiceIsLibrary(choice));
    out = c;
  }
  delete dlg;
  return out;
}

}  // namespace sondesk
