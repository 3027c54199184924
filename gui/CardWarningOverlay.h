#pragma once
// The lines drawn over the empty card list when no card can be reached: what is missing and what to
// connect.

#include <QStringList>
#include <QWidget>

namespace sondesk {

class CardWarningOverlay : public QWidget {
  Q_OBJECT
 public:
  explicit CardWarningOverlay(QWidget* viewport);
  void SetLines(const QStringList& lines);
  const QStringList& lines() const { return lines_; }
  // The lines as one text, for screen readers.
  QString Text() const;
  // Tells an active screen reader that the warning appeared.
  void Announce();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QStringList lines_;
};

}  // namespace sondesk
