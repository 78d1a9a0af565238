#include "queue/gui/QueueFixture.h"

#include "support/FileBytes.h"
#include "support/PyFtpdServer.h"
#include "view/gui/CommandIds.h"

#include <QTabBar>

namespace {

// Tab 1 on the anonymous vsftpd, tab 2 on pyftpdlib with a user, both on 127.0.0.1: what is
// queued in tab 2 moves files on its server as its user, and a bare host of an older queue
// file, which could mean either tab, runs nowhere.
using TwoServersQueueTest = ConnectedQueueFixture;

TEST_F(TwoServersQueueTest, RowsQueuedInTheSecondTabRunOnTheSecondServer)
{
    PyFtpdServer second;
    ASSERT_TRUE(second.start()) << second.errorText().toStdString();
    const QString sent = home.path() + QStringLiteral("/sent");
    const QString fetched = home.path() + QStringLiteral("/fetched");
    ASSERT_TRUE(QDir().mkpath(sent) && QDir().mkpath(fetched));
    for (const auto& [path, bytes] : {std::pair(server.rootPath(), "first server"),
                                      std::pair(second.homePath(), "second server")})
        ASSERT_TRUE(VsftpdServer::writeServerFile(path + QStringLiteral("/same.txt"), bytes));
    ASSERT_TRUE(VsftpdServer::writeServerFile(sent + QStringLiteral("/up.txt"), "sent"));
    view.setHost(second.host());
    view.setPort(second.port());
    view.setUser(second.user());
    view.setPassword(second.password());
    viewFeatures->sessions().OnConnect();
    ASSERT_TRUE(waitFor([this] { return view.sessionTabs()->count() == 2; }));

    viewFeatures->localPane().navigateTo(sent);
    settle();
    selectAll(view.localList());
    dispatch(CommandId::Upload);
    ASSERT_TRUE(waitFor([this] { // "..", same.txt, up.txt
        return statesText() == QStringLiteral("上传完成") && view.remoteFiles()->rowCount() == 3;
    })) << statesText().toStdString()
        << view.logText().toStdString();
    viewFeatures->localPane().navigateTo(fetched);
    selectAll(view.remoteList());
    dispatch(CommandId::RemoteDownload);
    ASSERT_TRUE(waitFor([this] {
        return statesText() == QStringLiteral("上传完成 下载完成 下载完成");
    })) << statesText().toStdString()
        << view.logText().toStdString();
    EXPECT_EQ(filebytes::read(fetched + QStringLiteral("/same.txt")), "second server");
    EXPECT_EQ(filebytes::read(fetched + QStringLiteral("/up.txt")), "sent");

    QueueEntry older;
    older.source = QStringLiteral("/same.txt");
    older.target = QStringLiteral("/tmp/older.txt");
    older.address = server.host();
    queue().AddQueueRow(older, QString());
    EXPECT_TRUE(waitFor([this] { return prompt.texts().contains(QStringLiteral("无连接")); }));
}

} // namespace
