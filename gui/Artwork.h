#pragma once
// The program's own pictures (hand-drawn SVG under resources/), rendered sharp at every scale.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace sondesk {

// An icon from resources/icons/<name>.svg.
QIcon SvgIcon(const QString& name);
// A picture from resources/<path> drawn at `logicalSize` for a device pixel ratio.
QPixmap SvgPixmap(const QString& path, const QSize& logicalSize, qreal devicePixelRatio);

// The toolbar's images by their old numbers (0 connect ... 14 print).
QIcon ToolbarImage(int image);
// The list icons: 0 for a song in one list, 4 for a title on both lists.
QIcon SongListIcon(int icon);
QIcon AppIcon();

}  // namespace sondesk
