#pragma once
// The drives the Settings dialog offers for the card reader: mounted file systems, each with its
// kind and total size, removable ones only unless the settings allow all.

#include <QString>
#include <QVector>

namespace sondesk {

struct DriveChoice {
  QString text;   // "/media/card Removable 1.9 GB"
  QString value;  // the mount point, stored in Flashdrive
  bool removable = false;
};

// The kind word of a mount (" Removable", " Fixed", " CD-ROM", " Remote", " Ram Disk", " Unknown Type").
QString DriveKindWord(const QString& device, const QString& fileSystemType, bool removable);
// " %1.1f MB" below 100,000 KiB, else " %1.1f GB"; "?" when the size is unknown (negative).
QString DriveSizeText(qint64 totalBytes);
// Which drives are removable is the core's rule (app/Drives.h).

// Every listed drive, without the first "No drive available" entry.
QVector<DriveChoice> ListDrives(bool removableOnly);

}  // namespace sondesk
