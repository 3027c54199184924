#include "gui/DriveList.h"

#include <QStorageInfo>

#include "app/Drives.h"

namespace sondesk {

QString DriveKindWord(const QString& device, const QString& fileSystemType, bool removable) {
  const QString fs = fileSystemType.toLower();
  if (device.startsWith(QLatin1String("/dev/sr")) || fs == QLatin1String("iso9660") ||
      fs == QLatin1String("udf")) {
    return QStringLiteral(" CD-ROM");
  }
  if (removable) return QStringLiteral(" Removable");
  static const char* const remote[] = {"nfs",        "nfs4",  "cifs", "smb3", "smbfs",
                                       "fuse.sshfs", "sshfs", "9p",   "afs"};
  for (const char* r : remote) {
    if (fs == QLatin1String(r)) return QStringLiteral(" Remote");
  }
  if (fs == QLatin1String("tmpfs") || fs == QLatin1String("ramfs")) return QStringLiteral(" Ram Disk");
  if (device.startsWith(QLatin1String("/dev/"))) return QStringLiteral(" Fixed");
  return QStringLiteral(" Unknown Type");
}

QString DriveSizeText(qint64 totalBytes) {
  if (totalBytes < 0) return QStringLiteral("?");
  const double kib = static_cast<double>(totalBytes / 1024);
  if (kib < 100000.0) return QString::asprintf(" %1.1f MB", kib * (1.0 / 1024.0));
  return QString::asprintf(" %1.1f GB", kib * (1.0 / 1048576.0));
}

QVector<DriveChoice> ListDrives(bool removableOnly) {
  QVector<DriveChoice> out;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    if (!v.isValid()) continue;
    const QString device = QString::fromLocal8Bit(v.device());
    const QString fs = QString::fromLocal8Bit(v.fileSystemType());
    const bool removable = IsRemovableDevice(v.device().toStdString());
    if (removableOnly && !removable) continue;
    // Kernel and container plumbing is not a drive anyone keeps songs on.
    if (fs == QLatin1String("overlay") || fs == QLatin1String("squashfs") ||
        fs == QLatin1String("devtmpfs") || fs == QLatin1String("efivarfs")) {
      continue;
    }
    if (device.startsWith(QLatin1String("/dev/loop"))) continue;
    DriveChoice c;
    c.value = v.rootPath();
    c.removable = removable;
    const qint64 total = v.bytesTotal();
    c.text = c.value + DriveKindWord(device, fs, removable) + DriveSizeText(total > 0 ? total : -1);
    out.push_back(c);
  }
  return out;
}

}  // namespace sondesk
