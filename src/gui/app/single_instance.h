#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <filesystem>

class QLocalServer;
class QLocalSocket;

namespace tallyhawk
{

// One running program per user and data folder. The first start listens on a local socket named
// after both; a later start hands its arguments to it and ends, and the running one shows itself.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Claim
    {
        Running, // this is the one program: it listens from now on
        HandedOver, // another one runs and took the arguments
        Failed, // another one holds the name but does not answer, or the socket cannot be made
    };

    // The socket for this user and the canonical data folder: in $XDG_RUNTIME_DIR when there is one
    // (private to the user), else a name with the user's id in the temporary folder.
    static QString ServerName(const std::filesystem::path& dataFolder);

    // Whether a start with these arguments (without the program path) asks to stay in the tray: one
    // of them starts with the letter m. A running program shows itself for any other hand-over.
    static bool AsksHidden(const QStringList& arguments);

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands `arguments` to the running program, or becomes it. A socket left behind by a crashed
    // program is removed instead of blocking the start.
    Claim Start(const QStringList& arguments);

    const QString& serverName() const { return serverName_; }
    // How long a later start waits for the running one to take its arguments.
    void SetAnswerWait(std::chrono::milliseconds wait) { answerWait_ = wait; }

signals:
    // The arguments of a later start (without the program path), on the running one.
    void argumentsReceived(const QStringList& arguments);

private:
    // 1 when handed over, 0 when nobody listens, -1 when someone listens but does not answer.
    int HandOver(const QStringList& arguments);
    void Accept();
    void Read(QLocalSocket* socket);

    QString serverName_;
    QLocalServer* server_ = nullptr;
    std::chrono::milliseconds answerWait_{5000};
};

} // namespace tallyhawk
