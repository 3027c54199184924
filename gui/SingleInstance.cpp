#include "gui/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>

namespace sondesk {

namespace {
constexpr char kRaiseRequest[] = "raise\n";
}

SingleInstance::SingleInstance(const QString& scope, QObject* parent)
    : QObject(parent), name_(ServerName(scope)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (socket->readAll().contains("raise") && raise_) raise_();
        socket->write("ok\n");
        socket->flush();
        socket->disconnectFromServer();
      });
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

QString SingleInstance::ServerName(const QString& scope) {
  const QByteArray hash = QCryptographicHash::hash(scope.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
  return QStringLiteral("Vodor Ora Mutex-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::AskRunningCopy() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(1000)) return false;
  socket.write(kRaiseRequest);
  socket.flush();
  socket.waitForBytesWritten(1000);
  // The first copy answers from its event loop; a copy that hangs still counts as running.
  socket.waitForReadyRead(3000);
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::Claim() {
  if (AskRunningCopy()) return false;
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (server_.listen(name_)) return true;
  if (server_.serverError() == QAbstractSocket::AddressInUseError) {
    // A socket left behind by a copy that did not end cleanly, or one that started in between.
    if (AskRunningCopy()) return false;
    QLocalServer::removeServer(name_);
    return server_.listen(name_);
  }
  // No socket can be made (an unwritable runtime folder): run without the lock rather than not at all.
  return true;
}

}  // namespace sondesk
