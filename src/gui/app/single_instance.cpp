#include "gui/app/single_instance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

#include <system_error>

namespace tallyhawk
{

namespace
{

// What the running program answers once it took the arguments.
constexpr char kTaken = '\x01';
// A hand-over is a few arguments; anything longer is not ours.
constexpr quint32 kMaxMessage = 64 * 1024;

// The arguments as sent: a 4-byte big-endian length, then the arguments in UTF-8, each ended by a
// zero byte (no argument can hold one).
QByteArray Encode(const QStringList& arguments)
{
    QByteArray text;
    for (const QString& argument : arguments) {
        text += argument.toUtf8();
        text += '\0';
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << static_cast<quint32>(text.size());
    message += text;
    return message;
}

QStringList Decode(const QByteArray& text)
{
    QStringList arguments;
    qsizetype start = 0;
    for (qsizetype at = text.indexOf('\0'); at >= 0; at = text.indexOf('\0', start)) {
        arguments << QString::fromUtf8(text.mid(start, at - start));
        start = at + 1;
    }
    return arguments;
}

} // namespace

QString SingleInstance::ServerName(const std::filesystem::path& dataFolder)
{
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(dataFolder, error);
    if (error) {
        canonical = std::filesystem::absolute(dataFolder, error);
    }
    const QByteArray folderHash
        = QCryptographicHash::hash(QByteArray::fromStdString(canonical.string()), QCryptographicHash::Sha1)
              .toHex()
              .left(16);
    const QString name
        = QStringLiteral("tallyhawk-%1-%2").arg(::getuid()).arg(QString::fromLatin1(folderHash));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        return QDir(runtime).filePath(name);
    }
    return name;
}

bool SingleInstance::AsksHidden(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('m'))) {
            return true;
        }
    }
    return false;
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent)
    , serverName_(std::move(serverName))
{ }

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::Start(const QStringList& arguments)
{
    // Twice: a program that starts at the same moment may take the name between our two steps.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int handed = HandOver(arguments);
        if (handed > 0) {
            return Claim::HandedOver;
        }
        if (handed < 0) {
            return Claim::Failed;
        }
        // Nobody answers: whatever socket file is there was left by a program that ended badly.
        QLocalServer::removeServer(serverName_);
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        if (server_->listen(serverName_)) {
            connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
            return Claim::Running;
        }
        delete server_;
        server_ = nullptr;
    }
    return Claim::Failed;
}

int SingleInstance::HandOver(const QStringList& arguments)
{
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(static_cast<int>(answerWait_.count()))) {
        return 0;
    }
    const QByteArray message = Encode(arguments);
    if (message.size() - 4 > static_cast<qsizetype>(kMaxMessage)) {
        return -1;
    }
    socket.write(message);
    if (!socket.waitForBytesWritten(static_cast<int>(answerWait_.count()))) {
        return -1;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(static_cast<int>(answerWait_.count()))) {
            return -1;
        }
    }
    char answer = 0;
    socket.getChar(&answer);
    return answer == kTaken ? 1 : -1;
}

void SingleInstance::Accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        if (socket->bytesAvailable() > 0) {
            Read(socket);
        }
    }
}

void SingleInstance::Read(QLocalSocket* socket)
{
    if (socket->bytesAvailable() < 4) {
        return; // the rest is still on its way
    }
    QDataStream in(socket->peek(4));
    quint32 length = 0;
    in >> length;
    if (length > kMaxMessage) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < 4 + static_cast<qint64>(length)) {
        return;
    }
    socket->read(4);
    const QStringList arguments = Decode(socket->read(length));
    socket->putChar(kTaken);
    socket->flush();
    socket->disconnectFromServer();
    emit argumentsReceived(arguments);
}

} // namespace tallyhawk
