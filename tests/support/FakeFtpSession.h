#pragma once

#include "platform/LineReader.h"
#include "platform/TcpListener.h"
#include "platform/TcpSocket.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>

// What a FakeFtpServer script works with: the accepted control connection and at most one
// data connection. Every wait is bounded by the server's time-out and ends early when the
// server is being destroyed. A step that does not go as the script expects (another command,
// a time-out, a closed connection) throws FakeFtpSession::ScriptFailure, which ends the script
// and is recorded as a failure of the server.
class FakeFtpSession {
public:
    struct ScriptFailure : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    FakeFtpSession(TcpSocket control, std::chrono::milliseconds timeout,
                   const std::atomic<bool>& stopping, std::mutex& recordLock,
                   QList<QByteArray>& commands);

    // Control connection. send adds CR LF; sendRaw sends the bytes as they are.
    void send(const QByteArray& line);
    void sendRaw(const QByteArray& bytes);
    // The next command line (without CR LF); it is recorded in the server's command list.
    QByteArray receive();
    // The next command must be exactly this line. A client that tries TLS first is answered
    // "AUTH TLS" as vsftpd without TLS answers it (530), unless the script expects that AUTH
    // itself; the AUTH line is recorded like any other command.
    void expect(const QByteArray& command);
    // The next command must start with the prefix; gives the whole line.
    QByteArray expectPrefix(const QByteArray& prefix);
    // expect followed by send: the usual shape of one exchange.
    void exchange(const QByteArray& command, const QByteArray& reply);
    // Waits until the client closes the control connection (any command in between fails).
    void expectClosed();
    // Answers FEAT (with or without UTF8 among the features) and, when UTF8 is offered,
    // expects "OPTS UTF8 ON" and answers it with the given reply.
    void answerFeat(bool utf8 = false, const QByteArray& optsReply = "200 Always in UTF8 mode.");

    // Data connections. connectActive takes the whole PORT or EPRT command line; only
    // loopback targets are accepted. sourceAddress binds the connecting end (to play a stranger
    // from another loopback address).
    void connectActive(const QByteArray& portCommand, const QString& sourceAddress = QString());
    TcpSocket connectStranger(const QByteArray& portCommand, const QString& sourceAddress);
    // Opens a data listener and gives the 227 reply line that announces it.
    QByteArray offerPassive();
    // Opens a data listener and gives the 229 reply line that announces it.
    QByteArray offerExtendedPassive();
    void acceptPassive();
    void sendData(const QByteArray& bytes);
    // False when the client has gone away, which some scripts expect.
    bool trySendData(const QByteArray& bytes);
    // Everything the client sends until it closes the data connection.
    QByteArray receiveData();
    void closeData();
    void resetData();

    // Polls the condition until it holds; a time-out is a script failure.
    void waitUntil(const std::function<bool()>& condition, const char* what);
    std::chrono::milliseconds timeout() const { return timeout_; }

private:
    QByteArray receiveFor(const QByteArray& expected);
    void checkStopping() const;
    static TcpSocket connectTo(const QByteArray& portCommand, const QString& sourceAddress,
                               std::chrono::milliseconds timeout);

    TcpSocket control_;
    LineReader reader_;
    TcpListener passiveListener_;
    TcpSocket data_;
    std::chrono::milliseconds timeout_;
    const std::atomic<bool>& stopping_;
    std::mutex& recordLock_;
    QList<QByteArray>& commands_; // guarded by recordLock_
};
