#include "gui/DriveProbe.h"

#include <sys/statvfs.h>

#include <QCoreApplication>
#include <QPointer>
#include <thread>

#include "gui/Text.h"

namespace sondesk {

DriveProbe::DriveProbe(QObject* parent)
    : QObject(parent),
      reader_(&DriveProbe::ReadFreeBytes),
      pending_(std::make_shared<std::atomic<bool>>(false)) {}

long long DriveProbe::ReadFreeBytes(const std::string& drive) {
  if (drive.empty() || drive == kNoDrive) return -1;
  struct statvfs st {};
  if (::statvfs(drive.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.f_bavail) * static_cast<long long>(st.f_frsize);
}

bool DriveProbe::Request(const std::string& drive) {
  bool expected = false;
  if (!pending_->compare_exchange_strong(expected, true)) return false;
  QPointer<DriveProbe> self(this);
  auto pending = pending_;
  Reader reader = reader_;
  // A thread of its own that may stay blocked as long as the drive likes; the answer travels back
  // through the event loop, where `self` is checked in the window's thread.
  std::thread([self, pending, reader, drive] {
    const long long free = reader(drive);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, pending, drive, free] {
          pending->store(false);
          if (self) Q_EMIT self->Answered(PathQ(drive), free);
        },
        Qt::QueuedConnection);
  }).detach();
  return true;
}

}  // namespace sondesk
