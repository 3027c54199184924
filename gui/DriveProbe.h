#pragma once
// Reads the card drive's free space away from the window's thread. A mount point whose device has
// gone (a pulled card, a dead network share) can keep statvfs waiting for seconds; the status poll
// asks here and takes the answer when it comes, so the window never waits on a drive.

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace sondesk {

class DriveProbe : public QObject {
  Q_OBJECT
 public:
  using Reader = std::function<long long(const std::string& drive)>;  // free bytes, -1 unreadable

  explicit DriveProbe(QObject* parent = nullptr);
  // For tests: a reader other than statvfs.
  void SetReader(Reader reader) { reader_ = std::move(reader); }

  // Starts a reading of `drive` unless one is still under way. False when one is.
  bool Request(const std::string& drive);
  bool pending() const { return pending_->load(); }

  // statvfs: the bytes available to the user, or -1.
  static long long ReadFreeBytes(const std::string& drive);

 Q_SIGNALS:
  void Answered(const QString& drive, qint64 freeBytes);

 private:
  Reader reader_;
  std::shared_ptr<std::atomic<bool>> pending_;
};

}  // namespace sondesk
