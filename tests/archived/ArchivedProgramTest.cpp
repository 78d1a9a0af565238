#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/FreePorts.h"
#include "support/RunProgram.h"
#include "support/TemporaryFolder.h"

#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString program = QStringLiteral(KEVRA_BINARY_DIR "/kevra-archived");

TEST(ArchivedProgram, HelpNamesEveryDefault)
{
    const QString help = QString::fromUtf8(runProgram(program, {QStringLiteral("--help")}).output);
    EXPECT_EQ(help.count(QStringLiteral("(default:")), 11) << help.toStdString();
    EXPECT_TRUE(
        help.contains(QRegularExpression(QStringLiteral("\\(default:\\s+127\\.0\\.0\\.1\\)"))));
}

// Started as root, it binds to loopback unless told otherwise and then runs as the given user.
TEST(ArchivedProgram, DropsRootAfterBinding)
{
    TemporaryFolder folder(QStringLiteral("archived-program"));
    const QString log = folder.filePath(QStringLiteral("log"));
    ChildProcess service;
    ASSERT_TRUE(service.start(program,
                              {QStringLiteral("--root"), folder.path(), QStringLiteral("--users"),
                               QStringLiteral("alice"), QStringLiteral("--port"),
                               QString::number(freeports::freeTcpPort()), QStringLiteral("--user"),
                               QStringLiteral("nobody")},
                              log));
    EXPECT_TRUE(QTest::qWaitFor([&] { return filebytes::read(log).contains("listening"); }, 5000));
    EXPECT_TRUE(filebytes::read(log).contains("listening on 127.0.0.1:"));
    EXPECT_FALSE(filebytes::read(log).contains("WARNING"));
    const QByteArray status = filebytes::read(QStringLiteral("/proc/%1/status").arg(service.pid()));
    EXPECT_TRUE(status.contains("\nUid:\t65534\t65534\t65534\t65534\n")) << status.toStdString();
}

} // namespace
