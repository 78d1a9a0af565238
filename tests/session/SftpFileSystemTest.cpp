#include "session/SftpFileSystem.h"
#include "listing/CListItem.h"
#include "support/SftpSandbox.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

class SftpFileSystemTest : public SftpSandbox {
protected:
    bool logOn(SftpFileSystem& files)
    {
        LogonInfo info;
        info.protocol = RemoteProtocol::Sftp;
        info.host = server.host();
        info.port = server.port();
        info.user = server.user();
        return files.Logon(info);
    }

    static std::map<QString, CListItem> listed(SftpFileSystem& files)
    {
        std::map<QString, CListItem> entries;
        qsizetype position = 0;
        EXPECT_TRUE(files.NextListLine(position) && files.listLine().startsWith(u"total"));
        while (files.NextListLine(position)) {
            CListItem item;
            EXPECT_TRUE(item.Parse(files.listLine())) << files.listLine().toStdString();
            entries[item.name] = item;
        }
        return entries;
    }
};

} // namespace

// The folder commands answer as an FTP server would, so the session's rules hold unchanged.
TEST_F(SftpFileSystemTest, AnswersFolderCommandsInFtpReplyCodes)
{
    ASSERT_TRUE(writeFile(server.files() + QStringLiteral("/数据.bin"), 1234));
    SftpFileSystem files(&prompt);
    ASSERT_TRUE(logOn(files)) << files.replyLine().toStdString();
    ASSERT_TRUE(files.Command(QStringLiteral("CWD ") + server.files()));
    EXPECT_EQ(files.QueryPwd(), server.files());
    EXPECT_TRUE(files.Command(QStringLiteral("MKD 新 文件夹")));
    EXPECT_TRUE(files.replyLine().startsWith(u"257"));
    ASSERT_TRUE(files.List(QString()));
    const auto entries = listed(files);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries.at(QStringLiteral("新 文件夹")).isFolder);
    EXPECT_EQ(entries.at(QStringLiteral("数据.bin")).bytes, 1234u);
    EXPECT_EQ(files.QuerySize(QStringLiteral("数据.bin")), QStringLiteral("1234"));
    EXPECT_EQ(files.QuerySize(QStringLiteral("没有")), QStringLiteral("0"));
    EXPECT_TRUE(files.replyLine().startsWith(u"550"));
    EXPECT_TRUE(files.Command(QStringLiteral("RNFR 数据.bin")) &&
                files.Command(QStringLiteral("RNTO 新 文件夹/改名.bin")));
    EXPECT_TRUE(files.replyLine().startsWith(u"250"));
    EXPECT_TRUE(QFile::exists(server.files() + QStringLiteral("/新 文件夹/改名.bin")));
    EXPECT_FALSE(files.Command(QStringLiteral("RMD 新 文件夹")));
    EXPECT_TRUE(files.replyLine().startsWith(u"550"));
    EXPECT_FALSE(files.networkFailure());
    EXPECT_FALSE(files.Command(QStringLiteral("SITE CHMOD 600 x")));
    EXPECT_TRUE(files.replyLine().startsWith(QStringLiteral("502 SFTP 连接不支持")));
}

// A name that is not UTF-8 reads as GBK and goes back as the very bytes it was listed with.
TEST_F(SftpFileSystemTest, KeepsTheBytesOfNamesThatAreNotUtf8)
{
    // "中文.txt" in GBK, made with the bytes themselves: Qt's file names are UTF-8.
    const QByteArray path = QFile::encodeName(server.files()) + "/\xd6\xd0\xce\xc4.txt";
    ASSERT_EQ(::close(::open(path.constData(), O_CREAT | O_WRONLY, 0644)), 0);
    SftpFileSystem files(&prompt);
    ASSERT_TRUE(logOn(files));
    ASSERT_TRUE(files.List(server.files()));
    const auto entries = listed(files);
    ASSERT_EQ(entries.count(QStringLiteral("中文.txt")), 1u);
    EXPECT_EQ(files.listLineEncoding(), TextCodec::Encoding::Gbk);
    files.setNameEncoding(TextCodec::Encoding::Gbk);
    EXPECT_TRUE(
        files.Command(QStringLiteral("DELE ") + server.files() + QStringLiteral("/中文.txt")))
        << files.replyLine().toStdString();
    EXPECT_NE(::access(path.constData(), F_OK), 0);
}
