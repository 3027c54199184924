#include "gui/Artwork.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace sondesk {

QPixmap SvgPixmap(const QString& path, const QSize& logicalSize, qreal devicePixelRatio) {
  QSvgRenderer renderer(QStringLiteral(":/") + path);
  QPixmap pm(logicalSize * devicePixelRatio);
  pm.fill(Qt::transparent);
  if (renderer.isValid()) {
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p);
  }
  pm.setDevicePixelRatio(devicePixelRatio);
  return pm;
}

QIcon SvgIcon(const QString& name) {
  static QHash<QString, QIcon> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return *it;
  QIcon icon;
  const QString path = QStringLiteral("icons/%1.svg").arg(name);
  // Pixmaps at the sizes lists, toolbars and menus ask for, at 1x and 2x.
  for (int side : {12, 16, 22, 24, 32, 44, 48, 64}) {
    icon.addPixmap(SvgPixmap(path, QSize(side, side), 1.0));
  }
  cache.insert(name, icon);
  return icon;
}

QIcon ToolbarImage(int image) {
  static const char* const names[] = {"connect",  "import",   "floppy", "delete", "editinfo",
                                      "",         "playlist", "play",   "stop",   "tocard",
                                      "fromcard", "search",   "www",    "update", "print"};
  if (image < 0 || image >= static_cast<int>(sizeof names / sizeof names[0]) || names[image][0] == '\0')
    return {};
  return SvgIcon(QString::fromLatin1(names[image]));
}

QIcon SongListIcon(int icon) {
  return SvgIcon(icon == 4 ? QStringLiteral("song-both") : QStringLiteral("song"));
}

QIcon AppIcon() {
  return SvgIcon(QStringLiteral("sondesk"));
}

}  // namespace sondesk
