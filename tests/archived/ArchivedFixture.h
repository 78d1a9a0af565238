#pragma once

#include "archive/ZipListing.h"
#include "archived/ArchiveService.h"
#include "ftp/IntegrationSupport.h"
#include "platform/TcpSocket.h"
#include "support/TemporaryFolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>

#include <sys/mount.h>
#include <sys/statvfs.h>

// A running ArchiveService over a temporary root holding pub/a.txt, pub/b.txt and the tree
// pub/docs/{a.txt,img/b.png}, with pub/out a link to a folder outside the root.
class ArchivedFixture : public ::testing::Test {
protected:
    void SetUp() override { startService(8); }

    void TearDown() override
    {
        stopService();
        if (!disk_.isEmpty())
            ::umount2(QFile::encodeName(disk_).constData(), MNT_DETACH);
    }

    // A small tmpfs at pub/disk, made with the given mount options; false when mounting is not
    // allowed here.
    bool mountSmallDisk(const char* options)
    {
        const QString path = pub(QStringLiteral("disk"));
        QDir().mkpath(path);
        if (::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, options) != 0)
            return false;
        disk_ = path;
        return true;
    }
    quint64 freeDiskBlocks() const
    {
        struct statvfs disk {};
        ::statvfs(QFile::encodeName(disk_).constData(), &disk);
        return disk.f_bavail;
    }

    void startService(int maxClients)
    {
        ASSERT_TRUE(folder_.isValid());
        QDir().mkpath(pub(QStringLiteral("docs/img")));
        QDir().mkpath(outside());
        write(pub(QStringLiteral("a.txt")), "alpha");
        write(pub(QStringLiteral("b.txt")), "beta");
        write(pub(QStringLiteral("docs/a.txt")), "docs alpha");
        write(pub(QStringLiteral("docs/img/b.png")), "png");
        write(outside() + QStringLiteral("/secret.txt"), "secret");
        QFile::link(outside(), pub(QStringLiteral("out")));
        ArchivedSettings settings;
        settings.address = QStringLiteral("127.0.0.1");
        settings.port = 0;
        settings.root = folder_.filePath(QStringLiteral("root"));
        settings.users = QStringList{QStringLiteral("alice"), QStringLiteral("anonymous")};
        settings.requestTimeout = std::chrono::milliseconds(1500);
        settings.quietGap = std::chrono::milliseconds(50);
        settings.maxClients = maxClients;
        settings.log = [this](const QString& line) {
            std::lock_guard<std::mutex> hold(logLock_);
            log_.append(line);
        };
        service_ = std::make_unique<ArchiveService>(settings);
        ASSERT_TRUE(service_->listen());
        runner_ = std::thread([this] { service_->run(); });
    }

    void stopService()
    {
        if (!service_)
            return;
        service_->stop();
        runner_.join();
        service_.reset();
    }

    QString pub(const QString& name) const
    {
        return folder_.filePath(QStringLiteral("root/pub/")) + name;
    }
    QString outside() const { return folder_.filePath(QStringLiteral("outside")); }
    quint16 port() const { return service_->port(); }

    static void write(const QString& path, const QByteArray& bytes)
    {
        ASSERT_TRUE(integration::writeFile(path, bytes));
    }

    static QByteArray message(const QString& user, const QString& password, char mode,
                              const QStringList& paths)
    {
        QByteArray bytes =
            "UID:" + user.toUtf8() + "\rPASS:" + password.toUtf8() + '\r' + mode + '\r';
        for (const QString& path : paths)
            bytes += path.toUtf8() + '\r';
        return bytes;
    }
    // A request from a known user; paths are separated by '|'.
    static QByteArray request(char mode, const char* paths)
    {
        return message(QStringLiteral("alice"), QStringLiteral("740316"), mode,
                       QString::fromUtf8(paths).split(u'|'));
    }

    // Everything the service answers until it closes the connection.
    QByteArray exchange(const QByteArray& request) const
    {
        TcpSocket socket;
        if (!socket.connect(QStringLiteral("127.0.0.1"), port(), std::chrono::seconds(5)))
            return "no connection";
        socket.sendAll(request.constData(), request.size(), std::chrono::seconds(5));
        return readUntilClosed(socket);
    }

    static QByteArray readUntilClosed(TcpSocket& socket)
    {
        QByteArray replies;
        char buffer[64];
        qint64 count = 0;
        while ((count = socket.receive(buffer, sizeof buffer, std::chrono::seconds(10))) > 0)
            replies.append(buffer, static_cast<int>(count));
        return replies;
    }

    QStringList loggedLines()
    {
        std::lock_guard<std::mutex> hold(logLock_);
        return log_;
    }

    TemporaryFolder folder_{QStringLiteral("archived")};
    QString disk_;
    std::mutex logLock_; // guards log_
    QStringList log_;
    std::unique_ptr<ArchiveService> service_;
    std::thread runner_;
};
