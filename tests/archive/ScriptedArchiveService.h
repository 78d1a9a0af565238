#pragma once

#include "platform/TcpListener.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <thread>

// A stand-in for the archive service: accepts one connection on 127.0.0.1, records what the
// client sends until it pauses, then sends each reply piece with a short pause in between
// (so that pieces arrive in separate reads) and closes. Everything is bounded by 5 s.
class ScriptedArchiveService {
public:
    explicit ScriptedArchiveService(QList<QByteArray> pieces) : pieces_(std::move(pieces))
    {
        listener_.listen(QStringLiteral("127.0.0.1"));
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedArchiveService()
    {
        listener_.interrupt();
        thread_.join();
    }

    quint16 port() const { return listener_.port(); }
    // Valid once the client's worker has ended.
    QByteArray received() const { return received_; }

private:
    void serve()
    {
        TcpSocket client = listener_.accept(std::chrono::seconds(5));
        char buffer[256];
        qint64 count = 0;
        const auto firstWait = std::chrono::seconds(5);
        while ((count = client.receive(buffer, sizeof buffer,
                                       received_.isEmpty() ? firstWait : pause * 2)) > 0)
            received_.append(buffer, static_cast<int>(count));
        for (const QByteArray& piece : pieces_) {
            client.sendAll(piece.constData(), piece.size(), std::chrono::seconds(5));
            std::this_thread::sleep_for(pause);
        }
    }

    static constexpr std::chrono::milliseconds pause{60};
    QList<QByteArray> pieces_;
    TcpListener listener_;
    QByteArray received_;
    std::thread thread_;
};
