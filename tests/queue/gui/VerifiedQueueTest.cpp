#include "queue/gui/QueueFixture.h"

#include "ftp/IntegrationSupport.h"
#include "support/PyFtpdServer.h"
#include "view/gui/CommandIds.h"

namespace {

using namespace integration;

// A server whose first two digests are wrong: the first row's attempt and its one retry both
// differ, so the row ends "err" with no part left; the second row meets the honest answers and
// completes verified.
TEST_F(QueueFixture, ARowEndsErrWhileTheServerLiesAndCompletesOnceItStops)
{
    PyFtpdOptions options;
    options.hashCommands = QStringLiteral("hash");
    options.wrongDigests = 2;
    PyFtpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    ASSERT_TRUE(writeFile(server.homePath() + QStringLiteral("/f.bin"), randomBytes(200000)));
    ASSERT_TRUE(writeFile(config.configPath, "[Transfer]\r\nRetries=1\r\nRetryDelays=0\r\n"));
    view.setHost(server.host());
    view.setPort(server.port());
    view.setUser(server.user());
    view.setPassword(server.password());
    viewFeatures->sessions().OnConnect();
    ASSERT_TRUE(waitFor([this] { return viewFeatures->sessions().isConnected(); }));

    viewFeatures->localPane().navigateTo(home.path());
    ASSERT_TRUE(waitFor([this] { return view.remoteFiles()->rowCount() == 2; })); // "..", f.bin
    const QString target = home.path() + QStringLiteral("/f.bin");
    for (const QString& ending : {QStringLiteral("err"), QStringLiteral("err 下载完成")}) {
        selectAll(view.remoteList());
        dispatch(CommandId::RemoteDownload);
        ASSERT_TRUE(waitFor([&] { return statesText() == ending; }))
            << statesText().toStdString() << view.logText().toStdString();
        const bool row = ending != QStringLiteral("err");
        EXPECT_EQ(QFile::exists(target), row == 1);
        EXPECT_FALSE(QFile::exists(target + QStringLiteral(".td")));
    }
    const QString truth =
        QString::fromLatin1(sha256Of(server.homePath() + QStringLiteral("/f.bin")));
    const QString log = view.logText();
    EXPECT_EQ(log.count(QStringLiteral("/f.bin校验不符 SHA-256 本地:") + truth +
                        QStringLiteral(" 服务器:")),
              2);
    EXPECT_TRUE(log.contains(QStringLiteral("/f.bin校验不符,0秒后从头重试(1/1)")));
    EXPECT_EQ(log.count(QStringLiteral("/f.bin已校验 SHA-256")), 1);
}

} // namespace
