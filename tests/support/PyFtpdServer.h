#pragma once

#include "support/ChildProcess.h"

#include "support/TemporaryFolder.h"
#include <QString>

#include <memory>

// The account a PyFtpdServer serves.
struct PyFtpdOptions {
    QString user = QStringLiteral("tester");
    QString password = QStringLiteral("secret");
    // pyftpdlib permission letters; the default allows everything.
    QString permissions = QStringLiteral("elradfmwMT");
    // Bytes per second each data connection may move; 0: no limit. Slow enough transfers can
    // be cut at a chosen moment.
    int rateLimit = 0;
    // When not 0, the first upload keeps only about this many bytes (whole receive blocks) and
    // drops the rest while still answering "226 Transfer complete.", as pyftpdlib does for an
    // upload whose data connection was reset.
    int firstUploadKeeps = 0;
    // false: SIZE is an unknown command ("500"), as on servers that never learnt it.
    bool sizeCommand = true;
    // Listings name the entries in reverse order of their names ("a.td" before "a").
    bool reverseListing = false;
    // Digest commands: "none"; "hash": HASH with SHA-1 current and SHA-256 or MD5 after
    // "OPTS HASH"; "xsha256": XSHA256 only; "refused": HASH announced, every request refused.
    QString hashCommands = QStringLiteral("none");
    // How many digests are answered wrong (one digit changed) before the right ones; -1: all.
    int wrongDigests = 0;
};

// pyftpdlib (/usr/bin/python3, Debian's python3-pyftpdlib) on 127.0.0.1 at a port it picks
// itself, with one named user and password and a home folder of its own: for tests that need a
// real logon with a password (a wrong password gets "530 Authentication failed."). The home
// folder is removed and the server stopped with the object.
//
//     PyFtpdServer server;
//     ASSERT_TRUE(server.start()) << server.errorText().toStdString();
//     ... log on to server.host():server.port() as server.user() / server.password() ...
class PyFtpdServer {
public:
    explicit PyFtpdServer(PyFtpdOptions options = {});
    ~PyFtpdServer();
    PyFtpdServer(const PyFtpdServer&) = delete;
    PyFtpdServer& operator=(const PyFtpdServer&) = delete;

    // Starts the server and waits for its "220" greeting; false with errorText() otherwise.
    bool start();
    void stop();
    // Ends the server process at once, as a crash would; its folder stays until stop.
    void kill();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    QString user() const { return options_.user; }
    QString password() const { return options_.password; }
    // The user's "/" on the local disk.
    QString homePath() const;
    QString errorText() const { return error_; }

private:
    bool waitForPort();
    bool waitForGreeting();

    PyFtpdOptions options_;
    std::unique_ptr<TemporaryFolder> folder_;
    ChildProcess process_;
    quint16 port_ = 0;
    QString error_;
};
