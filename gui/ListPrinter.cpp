#include "gui/ListPrinter.h"

#include <QDateTime>
#include <QPainter>
#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <algorithm>
#include <cmath>
#include <memory>

#include "gui/ExportDialog.h"
#include "gui/MainDlg.h"
#include "gui/SongListModel.h"
#include "gui/Text.h"

namespace sondesk {

int PaintSongPages(QPagedPaintDevice& device, const PrintJob& job) {
  if (job.rows.empty()) return 0;
  QPainter p(&device);
  if (!p.isActive()) return 0;
  const int W = device.width();
  const int H = device.height();
  const PrintLayout layout = ComputePrintLayout(W, H);
  const int perPage = std::max(1, layout.linesPerPage - 1);
  const int pages = PrintPageCount(static_cast<int>(job.rows.size()), layout.linesPerPage);

  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(std::max(1, layout.fontHeight));
  font.setWeight(QFont::Light);
  // The page's width sets the letters' width too: W/120 upright, W/175 across, whatever the
  // face's own proportions.
  {
    const QFontMetrics natural(font, &device);
    const int avg = natural.averageCharWidth();
    if (avg > 0 && layout.fontWidth > 0) font.setStretch(std::clamp(100 * layout.fontWidth / avg, 1, 4000));
  }
  p.setFont(font);
  p.setBackgroundMode(Qt::TransparentMode);
  const QFontMetrics fm(font, &device);

  const int left = W * 3 / 100;
  const int right = W - left;
  const int colX[3] = {10 + W * 3 / 100, 10 + W * 38 / 100, 10 + W * 73 / 100};
  const int pitch = layout.pitch;
  const int topLine = H / 100;
  const int bandTop = topLine + 2 * pitch;
  const QPen rule(Qt::black, std::max(1, W / 1500));

  auto cell = [&](int x, int top, int width, const QString& text) {
    p.drawText(QRect(x, top, width, pitch), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(text, Qt::ElideRight, width));
  };

  for (int page = 0; page < pages; ++page) {
    if (page > 0) device.newPage();
    p.setPen(Qt::black);
    const QRect headerBox(left, topLine, right - left, pitch);
    p.drawText(headerBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sondesk"));
    p.drawText(headerBox, Qt::AlignHCenter | Qt::AlignVCenter, job.title);
    p.drawText(headerBox, Qt::AlignRight | Qt::AlignVCenter, job.date);

    // The heading band.
    p.fillRect(QRect(left, bandTop, right - left, pitch), QColor(0xc0, 0xc0, 0xc0));
    p.setPen(rule);
    cell(colX[0], bandTop, colX[1] - colX[0] - 20, QStringLiteral("Titolo"));
    cell(colX[1], bandTop, colX[2] - colX[1] - 20, QStringLiteral("Interprete"));
    cell(colX[2], bandTop, right - colX[2] - 10, QStringLiteral("Genere"));
    p.drawLine(left, bandTop + pitch, right, bandTop + pitch);

    const int first = page * perPage;
    const int last = std::min(static_cast<int>(job.rows.size()), first + perPage);
    int y = bandTop + pitch;
    for (int i = first; i < last; ++i) {
      const PrintRow& r = job.rows[static_cast<std::size_t>(i)];
      cell(colX[0], y, colX[1] - colX[0] - 20, r.title);
      cell(colX[1], y, colX[2] - colX[1] - 20, r.performer);
      cell(colX[2], y, right - colX[2] - 10, r.category);
      y += pitch;
    }
    // Rules between the columns and a frame around the table.
    p.drawLine(colX[1] - 10, bandTop, colX[1] - 10, y);
    p.drawLine(colX[2] - 10, bandTop, colX[2] - 10, y);
    p.drawRect(QRect(left, bandTop, right - left, y - bandTop));

    const QRect footer(left, H - pitch, right - left, pitch);
    p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, job.makerLine);
    p.drawText(footer, Qt::AlignHCenter | Qt::AlignVCenter,
               QString::asprintf(job.pageFormat.toUtf8().constData(), page + 1, pages));
  }
  return pages;
}

QPrintDialog* MakePrintDialog(QPrinter& printer, bool cardPresent, QWidget* parent) {
  auto* dlg = new QPrintDialog(&printer, parent);
  dlg->setObjectName("PrintDialog");
  dlg->setOption(QAbstractPrintDialog::PrintPageRange, false);
  dlg->setOption(QAbstractPrintDialog::PrintSelection, true);
  dlg->setOption(QAbstractPrintDialog::PrintCollateCopies, false);
  QWidget* choice = MakeListChoice(dlg);
  // Without a card there is nothing to print of it.
  if (!cardPresent) {
    auto* hardDisk = choice->findChild<QRadioButton*>(QStringLiteral("hardDisk"));
    auto* sonFlash = choice->findChild<QRadioButton*>(QStringLiteral("sonFlash"));
    hardDisk->setChecked(true);
    sonFlash->hide();
  }
  // On the dialog's face, above its buttons, where the list is chosen with the printer.
  if (auto* box = qobject_cast<QBoxLayout*>(dlg->layout())) {
    int at = box->count();
    for (int i = 0; i < box->count(); ++i) {
      QWidget* w = box->itemAt(i)->widget();
      if (w != nullptr && qobject_cast<QDialogButtonBox*>(w) != nullptr) at = i;
    }
    box->insertWidget(at, choice);
  } else {
    choice->setWindowTitle(QStringLiteral("Hard Disk / Son Flash"));
    dlg->setOptionTabs({choice});
  }
  return dlg;
}

bool PrintDialogChoseLibrary(const QPrintDialog& dialog) {
  const QWidget* choice = dialog.findChild<QWidget*>(QStringLiteral("listChoice"));
  return choice != nullptr && ListChoiceIsLibrary(choice);
}

PrintJob MakePrintJob(const Session& session, MainDlg& window, bool library, bool selection,
                      const char* cardTitle, const char* libraryTitle) {
  const ListSide side = library ? ListSide::Library : ListSide::Card;
  const SongList& list = library ? session.library : session.card;
  SongListModel* model = window.model(side);
  std::vector<int> rows;
  if (selection) {
    for (const QModelIndex& i : window.view(side)->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
  } else {
    for (int r = 0; r < model->rowCount(); ++r) rows.push_back(r);
  }
  PrintJob job;
  job.title = QString::fromLatin1(library ? libraryTitle : cardTitle);
  job.makerLine = Msg(session, 18);
  job.pageFormat = Msg(session, 48);
  // The day the user sees on the desk, not the one at Greenwich.
  job.date = QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy"));
  for (int r : rows) {
    const int e = model->EntryAt(r);
    if (e < 0 || static_cast<std::size_t>(e) >= list.size()) continue;
    const SongEntry& s = list[static_cast<std::size_t>(e)];
    job.rows.push_back({Q(s.title), Q(s.performer), Q(s.category)});
  }
  return job;
}

bool ShowPrintPreview(QPrinter& printer, const PrintJob& job, QWidget* parent) {
  QDialog dlg(parent);
  dlg.setObjectName("PrintPreview");
  dlg.setWindowTitle(job.title);
  auto* preview = new QPrintPreviewWidget(&printer, &dlg);
  preview->setObjectName("preview");
  QObject::connect(preview, &QPrintPreviewWidget::paintRequested, &dlg,
                   [&job](QPrinter* p) { PaintSongPages(*p, job); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  buttons->button(QDialogButtonBox::Ok)->setText(QPrintDialog::tr("&Print"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
  auto* l = new QVBoxLayout(&dlg);
  l->addWidget(preview, 1);
  l->addWidget(buttons);
  dlg.resize(720, 860);
  preview->fitInView();
  return dlg.exec() == QDialog::Accepted;
}

void PrintSongLists(Session& session, MainDlg& window, bool cardPresent, const char* cardTitle,
                    const char* libraryTitle) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setCopyCount(1);
  printer.setDocName(QStringLiteral("Songs"));
  std::unique_ptr<QPrintDialog> dlg(MakePrintDialog(printer, cardPresent, &window));
  if (dlg->exec() != QDialog::Accepted) return;
  const bool library = PrintDialogChoseLibrary(*dlg) || !cardPresent;
  const bool selection = dlg->printRange() == QAbstractPrintDialog::Selection;
  const PrintJob job = MakePrintJob(session, window, library, selection, cardTitle, libraryTitle);
  if (job.rows.empty()) {
    // Nothing to print: no sheet leaves the printer, and the user is told why.
    session.ShowBox(session.Text(47), 22, BoxIcon::Warning, BoxButtons::Ok);
    return;
  }
  if (!ShowPrintPreview(printer, job, &window)) return;
  session.BusyCursorOn();
  PaintSongPages(printer, job);
  session.BusyCursorOff();
}

}  // namespace sondesk
