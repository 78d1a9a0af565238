#pragma once

#include "archive/ArchiveRequest.h"
#include "platform/TcpSocket.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

// Carries one compress or extract request to the archive service and reports the outcome as
// log lines. The request is handed over when the worker is created, so it always reaches the
// worker started for it. Every wait is bounded; stop() ends the waits early.
class ArchiveServiceThread {
public:
    struct Job {
        QString host;
        quint16 port = ArchiveRequest::servicePort;
        QString user;
        QString requestText; // ArchiveRequest::compressText or extractText
    };
    struct Limits {
        std::chrono::milliseconds connect{10000};
        std::chrono::milliseconds firstReply{60000};
        // After "C" the service packs or unpacks, which may take long for big trees.
        std::chrono::milliseconds finalReply{30 * 60 * 1000};
    };
    // Called from the worker's own thread.
    using Log = std::function<void(const QString& line)>;
    using Refresh = std::function<void()>;

    ArchiveServiceThread(Job job, Log log, Refresh refresh);
    ArchiveServiceThread(Job job, Log log, Refresh refresh, Limits limits);
    // Stops and waits for the worker.
    ~ArchiveServiceThread();
    ArchiveServiceThread(const ArchiveServiceThread&) = delete;
    ArchiveServiceThread& operator=(const ArchiveServiceThread&) = delete;

    void start();
    void stop() { stopping_ = true; }
    void wait();
    bool isFinished() const { return finished_; }

private:
    void run();
    // After "F", also reads the reason the service gives and logs it below "false!".
    void act(const QByteArray& token, const QString& name, bool compress);
    QByteArray remainder();
    // The next reply token, whether tokens came one per read, merged ("CS") or split ("P",
    // "E"); empty when none arrived in time or the connection closed.
    QByteArray nextToken(std::chrono::milliseconds timeout);
    static int tokenLength(const QByteArray& pending);

    const Job job_;
    const Log log_;
    const Refresh refresh_;
    const Limits limits_;
    TcpSocket socket_; // used by the worker thread only
    QByteArray pending_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
};
