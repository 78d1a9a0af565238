#include "ftp/FtpClient.h"
#include "queue/FolderListing.h"
#include "session/FtpFileSystem.h"
#include "session/RemoteNameEncodings.h"
#include "support/FileBytes.h"
#include "support/PyFtpdServer.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// pyftpdlib announces MLST: a folder walk reads the machine listing, with every file's exact
// size, the Chinese and blank-holding names as the server keeps them, and no "." or "..".
TEST(FolderListingPyFtpd, MachineListingGivesExactSizesAndNames)
{
    PyFtpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    const QString home = server.homePath();
    ASSERT_TRUE(QDir(home).mkpath(QStringLiteral("tree/子 文件夹")));
    const QList<QPair<QString, qsizetype>> files{{QStringLiteral("tree/数据 文件.bin"), 5000},
                                                 {QStringLiteral("tree/ two  blanks"), 0},
                                                 {QStringLiteral("tree/plain.txt"), 123457}};
    for (const auto& file : files) {
        QFile out(home + u'/' + file.first);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(QByteArray(file.second, 'x')), file.second);
    }
    FtpFileSystem connection(nullptr);
    FtpClient& client = *connection.ftp();
    LogonInfo logon;
    logon.host = server.host();
    logon.port = server.port();
    logon.user = server.user();
    logon.password = server.password();
    ASSERT_TRUE(client.Logon(logon)) << client.replyLine.toStdString();

    RemoteNameEncodings encodings;
    const FolderListing listing =
        FolderListing::Read(connection, QStringLiteral("/tree"), encodings, 100);
    ASSERT_TRUE(listing.complete);
    EXPECT_TRUE(client.listBuffer.contains(";type=file;"))
        << client.listBuffer.left(80).constData();
    QMap<QString, CListItem> byName;
    for (const CListItem& entry : listing.entries)
        byName.insert(entry.name, entry);
    ASSERT_EQ(byName.size(), 4) << byName.keys().join(u'|').toStdString();
    EXPECT_TRUE(byName.value(QStringLiteral("子 文件夹")).isFolder);
    for (const auto& file : files) {
        const CListItem entry = byName.value(file.first.mid(5));
        EXPECT_FALSE(entry.isFolder);
        EXPECT_TRUE(entry.exactSize) << file.first.toStdString();
        EXPECT_EQ(entry.bytes, static_cast<quint64>(file.second)) << file.first.toStdString();
    }
}

} // namespace
