#pragma once

#include "ftp/CertificateJudge.h"
#include "queue/QueueEntry.h"
#include "queue/QueueFile.h"
#include "queue/QueueRig.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"
#include "support/VsftpdServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>

// A throttled vsftpd with one logged-on session, a queue with its scheduler and start handler,
// and ways to wait for a row's state: each transfer scenario is a few lines on top.
class TransferFixture : public ::testing::Test, protected QueueRig {
protected:
    static constexpr qint64 serverRate = 512 * 1024;
    static constexpr int waitMs = 20000;

    explicit TransferFixture(VsftpdOptions options = {false, serverRate, true}) : server(options) {}

    // A helper process of the same tests works against its parent's server and folder, named
    // by these variables.
    static constexpr const char* helperPortVariable = "KEVRA_TRANSFER_HELPER_PORT";
    static constexpr const char* helperFolderVariable = "KEVRA_TRANSFER_HELPER_FOLDER";

    static bool isHelper() { return qEnvironmentVariableIsSet(helperPortVariable); }

    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        if (isHelper()) {
            serverPort = static_cast<quint16>(qEnvironmentVariableIntValue(helperPortVariable));
            localRoot = qEnvironmentVariable(helperFolderVariable);
        } else {
            ASSERT_TRUE(server.start()) << server.errorText().toStdString();
            serverPort = server.port();
            localRoot = local.path();
        }
        ASSERT_TRUE(QDir().mkpath(workPath()));
        // A failed entry ends "err" at once unless a test asks for retries.
        writeConfiguration("[Transfer]\r\nRetries=0\r\n");
        connectSession();
        startScheduler(environment());
    }

    void TearDown() override
    {
        stopQueue();
        server.stop();
    }

    TransferEnvironment environment()
    {
        TransferEnvironment env =
            queueEnvironment(prompt, engineLock, std::chrono::milliseconds(5000));
        env.configPath = configPath();
        env.log = [this](const QString& text) {
            std::lock_guard<std::mutex> hold(logMutex);
            logLines << text;
        };
        env.saveQueue = [this] { QueueFile(workPath(), engineLock).SaveQueue(queue); };
        env.currentRemoteFolder = [] { return QStringLiteral("/pub"); };
        return env;
    }

    // A new session replaces the old one, as after a reconnect.
    void connectSession()
    {
        if (session)
            registry.remove(session->id());
        SessionEnvironment env;
        env.registry = &registry;
        env.remote = &browserState;
        env.engineLock = &engineLock;
        env.prompt = &prompt;
        env.networkTimeout = std::chrono::milliseconds(5000);
        env.certificateJudge = judge;
        startSession(LogonRecord{server.host(), QStringLiteral("anonymous"), serverPort,
                                 QStringLiteral("guest")},
                     env);
        ASSERT_TRUE(waitUntil([this] { return registry.tabCount() == 1; }));
    }

    static bool waitUntil(const std::function<bool()>& condition, int timeoutMs = waitMs)
    {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    QString state(int row) const { return queue.text(row, TransferQueue::StateColumn); }

    bool slotsBack(int timeoutMs = waitMs)
    {
        return waitUntil([this] { return slots.count() == TransferSlots::InitialCount; },
                         timeoutMs);
    }

    bool waitForRunning(int row)
    {
        return waitUntil([&] {
            return state(row) == QueueState::Downloading || state(row) == QueueState::Uploading;
        });
    }

    void restart(int row)
    {
        queue.setText(row, TransferQueue::StateColumn, QueueState::Waiting.toString());
    }

    bool waitForState(int row, QStringView wanted, int timeoutMs = waitMs)
    {
        return waitUntil([&] { return state(row) == wanted; }, timeoutMs);
    }

    int addDownload(const QString& name, const QString& localName, int folder = 0)
    {
        return queue.AddQueueRow(entry(QStringLiteral("/pub/") + name, localFile(localName),
                                       QueueAction::Download, folder),
                                 server.host());
    }

    int addUpload(const QString& localName, const QString& name, int folder = 0)
    {
        return queue.AddQueueRow(entry(localFile(localName), QStringLiteral("/pub/") + name,
                                       QueueAction::Upload, folder),
                                 server.host());
    }

    static QueueEntry entry(const QString& source, const QString& target, QStringView action,
                            int folder)
    {
        QueueEntry e;
        e.source = source;
        e.target = target;
        e.action = action.toString();
        e.folder = folder;
        return e;
    }

    QString remoteFile(const QString& name) const { return server.pubPath() + u'/' + name; }
    QString localFile(const QString& name) const { return localRoot + u'/' + name; }
    QString workPath() const { return localFile(QStringLiteral("work/")); }
    QString configPath() const { return workPath() + QStringLiteral("ftp.ini"); }

    void writeConfiguration(const QByteArray& text) const
    {
        QFile file(configPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(text), text.size());
    }

    // A file of random bytes, owned by the server's user when it lies in the server's tree.
    static QByteArray makeFile(const QString& path, qint64 size)
    {
        QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()),
                                              static_cast<qsizetype>(size / 4));
        EXPECT_TRUE(VsftpdServer::writeServerFile(path, data)) << path.toStdString();
        return data;
    }

    static QByteArray sha256(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&file);
        return hash.result().toHex();
    }

    static qint64 sizeOf(const QString& path) { return QFileInfo(path).size(); }

    QStringList log() const
    {
        std::lock_guard<std::mutex> hold(logMutex);
        return logLines;
    }

    int logCount(const QString& line) const { return static_cast<int>(log().count(line)); }

    VsftpdServer server;
    TemporaryFolder local{QStringLiteral("transfers")};
    QString localRoot;
    quint16 serverPort = 0;
    NamedMutex engineLock{QStringLiteral("mutex1"), local.path()};
    ScriptedPrompt prompt;
    std::shared_ptr<CertificateJudge> judge; // the session's, handed to its workers
    mutable std::mutex logMutex;             // guards logLines
    QStringList logLines;
};
