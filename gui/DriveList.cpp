#include "gui/DriveList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

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

bool IsRemovableDevice(const QString& device) {
  if (!device.startsWith(QLatin1String("/dev/"))) return false;
  const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
  if (name.isEmpty()) return false;
  // /sys/class/block/<name> links into the device tree; a partition's disk is its parent folder.
  const QString sysPath = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
  if (sysPath.isEmpty()) return false;
  for (QString dir = sysPath; dir.count(QLatin1Char('/')) > 3; dir = QFileInfo(dir).path()) {
    QFile f(dir + QStringLiteral("/removable"));
    if (f.open(QIODevice::ReadOnly))
      return f.readAll().trimmed() == "1" || sysPath.contains(QLatin1String("/usb"));
  }
  return sysPath.contains(QLatin1String("/usb"));
}

bool IsRemovableMount(const QString& mountPoint) {
  const QString want = QDir::cleanPath(mountPoint);
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    if (QDir::cleanPath(v.rootPath()) == want) return IsRemovableDevice(QString::fromLocal8Bit(v.device()));
  }
  return false;
}

QVector<DriveChoice> ListDrives(bool removableOnly) {
  QVector<DriveChoice> out;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    if (!v.isValid()) continue;
    const QString device = QString::fromLocal8Bit(v.device());
    const QString fs = QString::fromLocal8Bit(v.fileSystemType());
    const bool removable = IsRemovableDevice(device);
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
