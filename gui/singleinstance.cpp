#include "gui/singleinstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QStandardPaths>
#include <cstdio>
#include <unistd.h>

#include "base/translate.h"
#include "gui/controls.h"

const char* const kAlreadyRunningText = TrMark("別のZittermarkがすでに開かれています。");
const char* const kAlreadyRunningCaption = TrMark("確認");

namespace {

TInstanceBoxHook& BoxHook() {
    static TInstanceBoxHook hook;
    return hook;
}

void ShowWithQt(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, Text(caption), Text(text), QMessageBox::Ok);
    box.setObjectName("AlreadyRunningBox");
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

} // namespace

std::string InstanceLockPath() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        return Utf8(QDir::cleanPath(runtime) + "/Zittermark.lock");
    }
    return Utf8(QDir::tempPath() + QString("/Zittermark-%1.lock").arg(::getuid()));
}

TSingleInstance::TSingleInstance(const std::string& lockPath) : lock(Text(lockPath)) {
    // No age makes a lock stale: only the death of the process holding it.
    lock.setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() {
    Release();
}

bool TSingleInstance::TryAcquire() {
    return lock.isLocked() || lock.tryLock(0);
}

void TSingleInstance::Release() {
    if (lock.isLocked()) {
        lock.unlock();
    }
}

bool TSingleInstance::Held() const {
    return lock.isLocked();
}

std::string InstanceSocketPath(const std::string& lockPath) {
    const std::string suffix = ".lock";
    if (lockPath.size() >= suffix.size() &&
        lockPath.compare(lockPath.size() - suffix.size(), suffix.size(), suffix) == 0) {
        return lockPath.substr(0, lockPath.size() - suffix.size()) + ".socket";
    }
    return lockPath + ".socket";
}

TInstanceServer::TInstanceServer(const std::string& socketPath, TFileHandler handler)
    : server(new QLocalServer(this)), onFile(std::move(handler)) {
    // Whoever holds the lock owns the socket: one left by an instance that
    // died is stale and goes.
    QLocalServer::removeServer(Text(socketPath));
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(Text(socketPath))) {
        std::fprintf(stderr, "zittermark: cannot listen on %s: %s\n", socketPath.c_str(),
                     server->errorString().toLocal8Bit().constData());
        return;
    }
    connect(server, &QLocalServer::newConnection, this, [this] { Accept(); });
}

TInstanceServer::~TInstanceServer() {
    server->close();
}

bool TInstanceServer::Listening() const {
    return server->isListening();
}

void TInstanceServer::Accept() {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                // A line longer than any path is not a hand-over.
                if (socket->bytesAvailable() > kHandOverLimit) {
                    socket->abort();
                }
                return;
            }
            const QByteArray line = socket->readLine(kHandOverLimit + 1).trimmed();
            const QString file = QString::fromUtf8(line);
            if (!file.isEmpty() && onFile) {
                RunHandler([this, &file] { onFile(file); });
            }
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

bool HandFileToRunningInstance(const std::string& socketPath, const QString& file, int timeoutMs) {
    const QByteArray line = file.toUtf8() + '\n';
    if (line.size() > kHandOverLimit || file.contains('\n')) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(Text(socketPath));
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(line);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(timeoutMs)) {
        answer += socket.readAll();
    }
    return answer.startsWith("ok\n");
}

TInstanceBoxHook SetInstanceBoxHook(TInstanceBoxHook hook) {
    TInstanceBoxHook previous = std::move(BoxHook());
    BoxHook() = std::move(hook);
    return previous;
}

void ShowAlreadyRunningBox() {
    const TInstanceBoxHook& hook = BoxHook();
    if (hook) {
        hook(Tr(kAlreadyRunningCaption), Tr(kAlreadyRunningText));
    } else {
        ShowWithQt(Tr(kAlreadyRunningCaption), Tr(kAlreadyRunningText));
    }
}
