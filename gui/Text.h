#pragma once
// The display edge of the program's texts: the core holds Windows-1252 bytes, Qt wants QString.

#include <QString>
#include <string>

#include "app/Session.h"
#include "messages/Cp1252.h"

namespace sondesk {

inline QString Q(const std::string& cp1252) {
  return QString::fromStdString(Cp1252ToUtf8(cp1252));
}
inline std::string ToCp1252(const QString& text) {
  return Utf8ToCp1252(text.toStdString());
}

// Message `n` of the session's table, ready to show.
inline QString Msg(const Session& session, int n) {
  return Q(session.Text(n));
}

// A text for a button or a menu, where '&' would otherwise mark a shortcut letter.
inline QString Literal(QString text) {
  return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// A path as the core keeps it (bytes) and as Qt shows it.
inline QString PathQ(const std::string& path) {
  return QString::fromLocal8Bit(path.c_str());
}
inline std::string PathStd(const QString& path) {
  return path.toLocal8Bit().toStdString();
}

}  // namespace sondesk
