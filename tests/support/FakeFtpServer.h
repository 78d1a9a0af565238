#pragma once

#include "support/FakeFtpSession.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A scripted FTP server for tests that need an exact reply sequence. It listens on a free port
// of a loopback address (127.0.0.1 unless another is given, "::1" for IPv6), accepts one
// control connection and runs the script on a thread of its own:
//
//     FakeFtpServer server;
//     server.start([](FakeFtpSession& s) {
//         s.send("220 ready");
//         s.exchange("USER anonymous", "230 ok");
//         s.answerFeat();
//     });
//     ... drive an FtpClient against 127.0.0.1:server.port() ...
//     ASSERT_TRUE(server.finish());
//     EXPECT_TRUE(server.failures().isEmpty()) << server.failures().join('\n').toStdString();
//     EXPECT_EQ(server.commands(), ...);
//
// When the script returns, its connections are closed. Every wait inside is bounded by
// timeout() (5 s unless changed before start), and the destructor stops a script that is still
// waiting, so a failing test never hangs.
class FakeFtpServer {
public:
    using Script = std::function<void(FakeFtpSession&)>;

    explicit FakeFtpServer(const QString& address = QStringLiteral("127.0.0.1"));
    ~FakeFtpServer();
    FakeFtpServer(const FakeFtpServer&) = delete;
    FakeFtpServer& operator=(const FakeFtpServer&) = delete;

    bool isListening() const { return listener_.isListening(); }
    QString address() const { return address_; }
    quint16 port() const { return port_; }
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    std::chrono::milliseconds timeout() const { return timeout_; }

    void start(Script script);
    // One script per control connection, run in turn as the client connects again (a client
    // that retries over a new connection). The command list spans all of them.
    void startEach(std::vector<Script> scripts);
    // Waits for the script to end; false when it did not end within twice the time-out.
    bool finish();

    // Every command line received, in order, and the script's failures.
    QList<QByteArray> commands() const;
    QStringList failures() const;
    bool succeeded() const { return failures().isEmpty(); }

private:
    void run(const std::vector<Script>& scripts);
    void runOne(const Script& script);
    void recordFailure(const QString& text);

    QString address_;
    TcpListener listener_;
    quint16 port_ = 0;
    std::chrono::milliseconds timeout_{5000};
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex recordLock_; // guards commands_ and failures_
    QList<QByteArray> commands_;
    QStringList failures_;
};
