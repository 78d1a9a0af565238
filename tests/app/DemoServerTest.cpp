// The demo server behind `make run`: the sample tree over FTP, seen with curl as a peer client,
// and nothing left running once the client (or the script) ends.

#include "platform/TcpSocket.h"
#include "support/RunProgram.h"
#include "support/TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <thread>

namespace {

using std::chrono::milliseconds;

const QString scripts = QStringLiteral(KEVRA_SOURCE_DIR "/scripts/");

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// Whatever a test started names its temporary folder on its command line.
QStringList processesMentioning(const QString& text)
{
    QStringList found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QString line = readText(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (line.contains(text))
            found << line;
    }
    return found;
}

class DemoServerTest : public ::testing::Test {
protected:
    // The client is a shell that notes the address it was given and waits for the stop file.
    void SetUp() override
    {
        const QString client = QStringLiteral("echo \"$0\" > '%1'; i=0; while [ ! -e '%2' ] && "
                                              "[ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done; "
                                              "exit 7")
                                   .arg(urlFile, stopFile);
        QProcess::execute(QStringLiteral("bash"),
                          {scripts + QStringLiteral("make-demo-tree.sh"), tree});
        demo.start(QStringLiteral("bash"), {scripts + QStringLiteral("run-demo.sh"), tree,
                                            QStringLiteral("sh"), QStringLiteral("-c"), client});
        for (int i = 0; i < 200 && readText(urlFile).isEmpty(); ++i)
            std::this_thread::sleep_for(milliseconds(50));
        url = readText(urlFile);
        ASSERT_TRUE(url.startsWith(QStringLiteral("ftp://127.0.0.1:"))) << url.toStdString();
    }

    void TearDown() override
    {
        demo.kill();
        demo.waitForFinished(5000);
    }

    QString curl(const QString& path, const QString& option, const QString& value = {})
    {
        QStringList arguments{QStringLiteral("-sS"), QStringLiteral("--max-time"),
                              QStringLiteral("20"), option};
        if (!value.isEmpty())
            arguments << value;
        const ProgramRun run =
            runProgram(QStringLiteral("curl"),
                       arguments << url + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")));
        return QString::fromUtf8(run.output + run.errors);
    }

    void expectNothingLeft()
    {
        QStringList left = processesMentioning(folder.path());
        for (int i = 0; i < 100 && !left.isEmpty(); ++i) {
            std::this_thread::sleep_for(milliseconds(50));
            left = processesMentioning(folder.path());
        }
        EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char('\n')).toStdString();
        TcpSocket probe;
        EXPECT_FALSE(
            probe.connect(QStringLiteral("127.0.0.1"), QUrl(url).port(), milliseconds(1000)));
    }

    TemporaryFolder folder{QStringLiteral("demo")};
    const QString tree = folder.filePath(QStringLiteral("tree"));
    const QString urlFile = folder.filePath(QStringLiteral("url"));
    const QString stopFile = folder.filePath(QStringLiteral("stop"));
    QProcess demo;
    QString url;
};

TEST_F(DemoServerTest, ServesTheSampleTreeWritablyAndStopsWithTheClient)
{
    const QString top = curl(QString(), QStringLiteral("--list-only"));
    for (const char* name : {"欢迎使用 KEVRA.txt", "README.txt", "文档", "documents", "照片",
                             "file with  two spaces.txt", "上传 uploads", "大文件 100MB.bin"})
        EXPECT_TRUE(top.contains(QString::fromUtf8(name))) << name << "\n" << top.toStdString();
    EXPECT_TRUE(curl(QStringLiteral("软件/工具/版本 1.0/"), QStringLiteral("--list-only"))
                    .contains(QStringLiteral("更新说明.txt")));
    EXPECT_TRUE(curl(QStringLiteral("大文件 100MB.bin"), QStringLiteral("-I"))
                    .contains(QStringLiteral("Content-Length: 104857600")));
    curl(QStringLiteral("上传 uploads/新文件.txt"), QStringLiteral("-T"), urlFile);
    EXPECT_EQ(readText(tree + QStringLiteral("/上传 uploads/新文件.txt")), url);

    QFile(stopFile).open(QIODevice::WriteOnly);
    ASSERT_TRUE(demo.waitForFinished(10000));
    EXPECT_EQ(demo.exitCode(), 7); // the client's own status
    expectNothingLeft();
}

// Ctrl-C on `make run` must not leave a server behind.
TEST_F(DemoServerTest, InterruptedScriptEndsClientAndServer)
{
    demo.terminate();
    ASSERT_TRUE(demo.waitForFinished(10000));
    EXPECT_NE(demo.exitCode(), 0);
    expectNothingLeft();
}

} // namespace
