#include "gui/KaraokeView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/MenuTexts.h"
#include "gui/Text.h"

namespace sondesk {

namespace {

// The view's own words, which the player's message table never needed.
const char* const kNoPages[kLanguageCount] = {
    "Questa song non contiene pagine di testo", "This song has no lyric pages",
    "Cette chanson n'a pas de pages de paroles", "Dieser Song hat keine Textseiten",
    "Esta canción no tiene páginas de letra"};
const char* const kPrevious[kLanguageCount] = {"< Pagina", "< Page", "< Page", "< Seite", "< Página"};
const char* const kNext[kLanguageCount] = {"Pagina >", "Page >", "Page >", "Seite >", "Página >"};
const char* const kPage[kLanguageCount] = {"Pagina %1 di %2", "Page %1 of %2", "Page %1 sur %2",
                                           "Seite %1 von %2", "Página %1 de %2"};

}  // namespace

// The screen itself: a dark panel with the player's four lines.
class KaraokeScreen : public QWidget {
 public:
  explicit KaraokeScreen(QWidget* parent) : QWidget(parent) {
    setObjectName("karaokeScreen");
    setMinimumSize(560, 230);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  KaraokeState state;
  QString message;  // shown instead of lines (a song without pages)

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(12, 16, 40));
    QFont f(QStringLiteral("Monospace"));
    f.setStyleHint(QFont::TypeWriter);
    f.setBold(true);
    // Forty characters, the player's widest line, fill the width.
    f.setPixelSize(std::max(10, std::min(width() / 26, height() / 8)));
    p.setFont(f);
    const QFontMetrics m(f);
    const int lineHeight = m.height() + m.height() / 4;
    if (!message.isEmpty()) {
      p.setPen(QColor(200, 200, 210));
      p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, message);
      return;
    }
    int y = m.ascent() + 8;
    const int x = 16;
    if (!state.chord.empty()) {
      p.setPen(QColor(110, 220, 120));
      QString chords = Q(state.chord);
      if (!state.nextChords.empty()) chords += QStringLiteral("   ") + Q(state.nextChords);
      p.drawText(x, y, chords);
    }
    y += lineHeight;
    for (int i = 0; i < 4; ++i, y += lineHeight) {
      const QString text = Q(state.lines[static_cast<std::size_t>(i)]);
      const bool current = i == state.currentLine;
      const int lit = current ? static_cast<int>(state.LitLength()) : 0;
      if (current) {
        p.setPen(QColor(255, 200, 40));
        p.drawText(2, y, QStringLiteral("\u25B8"));
      }
      const QString sung = text.left(lit);
      p.setPen(QColor(60, 200, 255));
      p.drawText(x, y, sung);
      p.setPen(current ? QColor(255, 255, 255) : QColor(185, 185, 200));
      p.drawText(x + m.horizontalAdvance(sung), y, text.mid(lit));
    }
    if (!state.nextLine.empty()) {
      QFont small = f;
      small.setBold(false);
      small.setPixelSize(std::max(9, f.pixelSize() * 3 / 4));
      p.setFont(small);
      p.setPen(QColor(120, 120, 150));
      p.drawText(x, y, Q(state.nextLine));
    }
  }
};

KaraokeView::KaraokeView(int language, QWidget* parent)
    : QWidget(parent, Qt::Window), language_(language >= 0 && language < kLanguageCount ? language : 1) {
  setObjectName("KaraokeView");
  setWindowTitle(QStringLiteral("Sondesk - Karaoke"));
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setObjectName("karaokeTitle");
  QFont tf = title_->font();
  tf.setBold(true);
  title_->setFont(tf);
  layout->addWidget(title_);
  screen_ = new KaraokeScreen(this);
  layout->addWidget(screen_, 1);
  auto* row = new QHBoxLayout;
  previous_ = new QPushButton(QString::fromUtf8(kPrevious[language_]), this);
  previous_->setObjectName("karaokePrevious");
  next_ = new QPushButton(QString::fromUtf8(kNext[language_]), this);
  next_->setObjectName("karaokeNext");
  pageLabel_ = new QLabel(this);
  pageLabel_->setObjectName("karaokePage");
  row->addWidget(previous_);
  row->addWidget(pageLabel_, 1, Qt::AlignCenter);
  row->addWidget(next_);
  layout->addLayout(row);
  connect(previous_, &QPushButton::clicked, this, [this] { PreviousPage(); });
  connect(next_, &QPushButton::clicked, this, [this] { NextPage(); });
  timer_.setInterval(kFollowPeriodMs);
  connect(&timer_, &QTimer::timeout, this, &KaraokeView::Refresh);
  resize(640, 330);
}

QString KaraokeView::noPagesText() const {
  return QString::fromUtf8(kNoPages[language_]);
}

void KaraokeView::SetSong(const QString& title, KaraokeTimeline timeline) {
  StopFollowing();
  timeline_ = std::move(timeline);
  title_->setText(title);
  screen_->message = timeline_.hasPages() ? QString() : noPagesText();
  ShowPage(0);
}

void KaraokeView::Follow(std::function<std::uint64_t()> tick) {
  tick_ = std::move(tick);
  timer_.start();
  Refresh();
}

void KaraokeView::StopFollowing() {
  timer_.stop();
  tick_ = nullptr;
  previous_->setEnabled(timeline_.hasPages());
  next_->setEnabled(timeline_.hasPages());
}

void KaraokeView::Refresh() {
  if (!tick_) return;
  KaraokeState s = timeline_.StateAt(tick_());
  // Before the song's first page arrives the screen shows that page waiting, not an empty panel.
  if (s.page < 0 && timeline_.hasPages()) s = timeline_.StateAt(timeline_.PageTick(0));
  if (s != state_) Show(s);
  previous_->setEnabled(false);
  next_->setEnabled(false);
}

void KaraokeView::ShowPage(int index) {
  if (!timeline_.hasPages()) {
    Show(KaraokeState{});
    return;
  }
  index = std::clamp(index, 0, static_cast<int>(timeline_.pageCount()) - 1);
  Show(timeline_.StateAt(timeline_.PageTick(static_cast<std::size_t>(index))));
}

void KaraokeView::Show(const KaraokeState& s) {
  state_ = s;
  screen_->state = s;
  if (timeline_.hasPages()) {
    pageLabel_->setText(QString::fromUtf8(kPage[language_])
                            .arg(std::max(1, s.page + 1))
                            .arg(static_cast<int>(timeline_.pageCount())));
  } else {
    pageLabel_->clear();
  }
  if (!following()) {
    previous_->setEnabled(timeline_.hasPages() && s.page > 0);
    next_->setEnabled(timeline_.hasPages() && s.page + 1 < static_cast<int>(timeline_.pageCount()));
  }
  screen_->update();
}

}  // namespace sondesk
