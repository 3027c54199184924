#include "gui/ListPrinter.h"

#include <QDateTime>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTreeView>
#include <algorithm>
#include <cmath>

#include "gui/ExportDialog.h"
#include "gui/MainDlg.h"
#include "gui/SongListModel.h"
#include "gui/Text.h"

namespace sondesk {

int PaintSongPages(QPagedPaintDevice& device, const PrintJob& job) {
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

void PrintSongLists(Session& session, MainDlg& window, const char* cardTitle, const char* libraryTitle) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setCopyCount(1);
  printer.setDocName(QStringLiteral("Songs"));
  QPrintDialog dlg(&printer, &window);
  dlg.setObjectName("PrintDialog");
  dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dlg.setOption(QAbstractPrintDialog::PrintSelection, true);
  dlg.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
  QWidget* choice = MakeListChoice(nullptr);
  choice->setWindowTitle(QStringLiteral("Hard Disk / Son Flash"));
  dlg.setOptionTabs({choice});
  if (dlg.exec() != QDialog::Accepted) return;

  const bool library = ListChoiceIsLibrary(choice);
  const ListSide side = library ? ListSide::Library : ListSide::Card;
  const SongList& list = library ? session.library : session.card;
  SongListModel* model = window.model(side);
  std::vector<int> rows;
  if (dlg.printRange() == QAbstractPrintDialog::Selection) {
    for (const QModelIndex& i : window.view(side)->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    if (rows.empty()) {
      session.ShowBox(session.Text(47), 22, BoxIcon::Warning, BoxButtons::Ok);
      return;
    }
  } else {
    for (int r = 0; r < model->rowCount(); ++r) rows.push_back(r);
  }
  PrintJob job;
  job.title = QString::fromLatin1(library ? libraryTitle : cardTitle);
  job.makerLine = Msg(session, 18);
  job.pageFormat = Msg(session, 48);
  job.date = QDateTime::currentDateTimeUtc().toString(QStringLiteral("dd/MM/yyyy"));
  for (int r : rows) {
    const int e = model->EntryAt(r);
    if (e < 0 || static_cast<std::size_t>(e) >= list.size()) continue;
    const SongEntry& s = list[static_cast<std::size_t>(e)];
    job.rows.push_back({Q(s.title), Q(s.performer), Q(s.category)});
  }
  session.BusyCursorOn();
  PaintSongPages(printer, job);
  session.BusyCursorOff();
}

}  // namespace sondesk
