#pragma once
// One running copy per user and settings folder. The first copy listens on a local socket named after
// the program's old mutex, "Vodor Ora Mutex"; a second start finds it, asks it to come to the front
// and ends. The socket answers from the event loop, so it also works while the first copy shows a
// modal box.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace sondesk {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // `scope` separates independent runs (the settings folder): two copies on the same Sondesk.INI are
  // what the lock prevents.
  explicit SingleInstance(const QString& scope, QObject* parent = nullptr);

  static QString ServerName(const QString& scope);

  // True when this is the first copy (and now listens); false when another copy runs and has been
  // asked to raise its window.
  bool Claim();

  // Called in the first copy when a second one starts.
  void SetRaiseHandler(std::function<void()> handler) { raise_ = std::move(handler); }

 private:
  bool AskRunningCopy();
  QString name_;
  QLocalServer server_;
  std::function<void()> raise_;
};

}  // namespace sondesk
