#pragma once
// The player's lyric screen beside the music: the page of four lines as the player draws it, the
// sung part of the current line in another colour, the chord line above and the announced next
// line below. While a song plays it follows the music; otherwise it steps through the pages
// without sound, so a host can read a song through before it goes to the card.

#include <QTimer>
#include <QWidget>
#include <functional>

#include "midi/KaraokeTimeline.h"

class QLabel;
class QPushButton;

namespace sondesk {

class KaraokeScreen;

class KaraokeView : public QWidget {
  Q_OBJECT
 public:
  KaraokeView(int language, QWidget* parent = nullptr);

  // The song whose pages are shown; the first page stands at once.
  void SetSong(const QString& title, KaraokeTimeline timeline);
  // Follows `tick` (the playing song's position, in its own ticks) until StopFollowing.
  void Follow(std::function<std::uint64_t()> tick);
  void StopFollowing();
  bool following() const { return timer_.isActive(); }

  // Stepping without sound: the page `index` whole, nothing of it sung.
  void ShowPage(int index);
  void NextPage() { ShowPage(state_.page + 1); }
  void PreviousPage() { ShowPage(state_.page - 1); }

  const KaraokeState& state() const { return state_; }
  const KaraokeTimeline& timeline() const { return timeline_; }
  // What the screen says when the song has no pages.
  QString noPagesText() const;

  // How often the view asks where the song stands: well inside the 50 ms a singer notices.
  static constexpr int kFollowPeriodMs = 25;

 private:
  void Refresh();
  void Show(const KaraokeState& s);

  int language_;
  KaraokeTimeline timeline_;
  KaraokeState state_;
  std::function<std::uint64_t()> tick_;
  QTimer timer_;
  KaraokeScreen* screen_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* pageLabel_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
};

}  // namespace sondesk
