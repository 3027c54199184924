#include "pdf/SongbookPdf.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <ctime>
#include <memory>

#include "app/Session.h"
#include "messages/Cp1252.h"

namespace sondesk {

namespace {

QString Text(const std::string& cp1252) {
  return QString::fromStdString(Cp1252ToUtf8(cp1252));
}

// Columns as parts of the text width: number, then the part's first and second text, category.
constexpr double kColumnShare[] = {0.09, 0.37, 0.33, 0.21};

}  // namespace

void EnsurePdfWriterReady() {
  if (QCoreApplication::instance() != nullptr) return;
  // A command line has no windows to show: the offscreen platform gives fonts without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's notes about the desktop session (no runtime folder, no display) mean nothing to a command
  // whose only output is a file; its real failures are reported by the writer's result.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
  });
  static int argc = 1;
  static char name[] = "sondesk";
  static char* argv[] = {name, nullptr};
  // Kept to the end of the process: Qt's fonts must outlive every writer.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

bool WriteSongbookPdf(const Songbook& book, const SongbookDocument& doc, const std::string& path, std::string& why) {
  if (book.pages.empty()) {
    why = "no songs to put in the songbook";
    return false;
  }
  EnsurePdfWriterReady();
  // Written beside the target and renamed over it at the end, so a failure leaves an older book
  // of that name as it was.
  const std::string partPath = path + ".part";
  const QString file = QString::fromLocal8Bit(partPath.c_str());
  // The writer reports nothing when it cannot open its file; asking first gives a clear reason.
  {
    QFile probe(file);
    if (!probe.open(QIODevice::WriteOnly)) {
      why = "cannot write " + path + ": " + probe.errorString().toStdString();
      return false;
    }
  }
  bool ok = true;
  {
    QPdfWriter pdf(file);
    pdf.setCreator(QStringLiteral("SonDesk"));
    pdf.setTitle(Text(doc.texts.bookTitle) + QStringLiteral(" - ") + Text(doc.listName));
    pdf.setResolution(300);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12),
                                  QPageLayout::Millimeter));
    QPainter p;
    if (!p.begin(&pdf)) {
      why = "cannot write " + path;
      ok = false;
    } else {
      const int W = pdf.width();
      const int H = pdf.height();
      // Two header lines (page head, column headings) and a footer line around the song lines.
      const int pitch = H / (kSongbookLinesPerPage + 4);
      const int bodyTop = 2 * pitch + pitch / 2;

      QFont plain(QStringLiteral("DejaVu Sans"));
      plain.setPixelSize(pitch * 62 / 100);
      QFont bold = plain;
      bold.setBold(true);
      QFont letter = bold;
      letter.setPixelSize(pitch * 80 / 100);
      QFont partFont = bold;
      partFont.setPixelSize(pitch * 85 / 100);
      const QFontMetrics fmPlain(plain, &pdf);

      int colX[5];
      colX[0] = 0;
      for (int c = 0; c < 4; ++c) colX[c + 1] = colX[c] + static_cast<int>(W * kColumnShare[c]);
      const int gap = pitch / 3;
      auto cell = [&](int column, int top, const QString& text, int align = Qt::AlignLeft) {
        const int width = colX[column + 1] - colX[column] - gap;
        const QString shown = fmPlain.horizontalAdvance(text) > width ? fmPlain.elidedText(text, Qt::ElideRight, width) : text;
        p.drawText(QRect(colX[column], top, width, pitch), align | Qt::AlignVCenter | Qt::TextSingleLine, shown);
      };

      const QString bookTitle = Text(doc.texts.bookTitle);
      const QString listName = Text(doc.listName);
      const QString date = Text(doc.date);
      const QString partTitle[2] = {Text(doc.texts.byTitle), Text(doc.texts.byPerformer)};
      const QString number = Text(doc.texts.number);
      const QString title = Text(doc.headings[0]), performer = Text(doc.headings[1]), category = Text(doc.headings[2]);
      const QByteArray pageFormat = QByteArray::fromStdString(Cp1252ToUtf8(doc.pageFormat));
      const int pages = static_cast<int>(book.pages.size());
      const QColor band(0xE4, 0xE4, 0xE4);
      const QColor letterBand(0xF0, 0xF0, 0xF0);

      for (int n = 0; n < pages; ++n) {
        const SongbookPage& page = book.pages[static_cast<std::size_t>(n)];
        if (n > 0) pdf.newPage();
        const bool byPerformer = page.part == 1;
        p.setPen(Qt::black);
        p.setFont(bold);
        const QRect head(0, 0, W, pitch);
        p.drawText(head, Qt::AlignLeft | Qt::AlignVCenter, bookTitle);
        p.setFont(plain);
        p.drawText(head, Qt::AlignHCenter | Qt::AlignVCenter, listName);
        p.drawText(head, Qt::AlignRight | Qt::AlignVCenter, date);
        p.fillRect(QRect(0, pitch + pitch / 4, W, pitch), band);
        p.setFont(bold);
        const int headTop = pitch + pitch / 4;
        cell(0, headTop, number, Qt::AlignRight);
        cell(1, headTop, byPerformer ? performer : title);
        cell(2, headTop, byPerformer ? title : performer);
        cell(3, headTop, category);

        int y = bodyTop;
        for (const SongbookLine& line : page.lines) {
          switch (line.kind) {
            case SongbookLineKind::PartTitle:
              p.setFont(partFont);
              p.drawText(QRect(0, y, W, pitch), Qt::AlignLeft | Qt::AlignVCenter, partTitle[page.part]);
              break;
            case SongbookLineKind::Letter:
              p.fillRect(QRect(0, y + pitch / 10, W, pitch - pitch / 5), letterBand);
              p.setFont(letter);
              p.drawText(QRect(colX[1], y, W - colX[1], pitch), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromLatin1(line.heading.c_str()));
              break;
            case SongbookLineKind::Song: {
              const SongbookSong& s = book.songs[line.song];
              p.setFont(plain);
              cell(0, y, QString::number(s.number), Qt::AlignRight);
              cell(1, y, Text(byPerformer ? s.performer : s.title));
              cell(2, y, Text(byPerformer ? s.title : s.performer));
              cell(3, y, Text(s.category));
              break;
            }
          }
          y += pitch;
        }
        p.setFont(plain);
        p.drawText(QRect(0, H - pitch, W, pitch), Qt::AlignHCenter | Qt::AlignVCenter,
                   QString::asprintf(pageFormat.constData(), n + 1, pages));
      }
      ok = p.end();
      if (!ok) why = "cannot write " + path;
    }
  }
  if (ok && std::rename(partPath.c_str(), path.c_str()) != 0) {
    why = "cannot write " + path;
    ok = false;
  }
  if (!ok) QFile::remove(file);
  return ok;
}

bool ExportSongbook(const Session& session, const std::string& path, bool ofCard, std::string& why) {
  const Songbook book = LayOutSongbook(SongbookSongsOf(ofCard ? session.card : session.library, ofCard));
  SongbookDocument doc;
  doc.texts = SongbookTextsFor(session.messages().language());
  doc.listName = ofCard ? "Son Flash" : "Hard Disk";
  // The day of the host's desk: the book is dated where it is handed out.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  doc.date = Format("%02d/%02d/%04d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
  doc.pageFormat = session.Text(48);
  for (int i = 0; i < 3; ++i) doc.headings[i] = session.Text(90 + i);
  return WriteSongbookPdf(book, doc, path, why);
}

}  // namespace sondesk
