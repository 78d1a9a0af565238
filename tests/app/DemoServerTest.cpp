// The demo server behind `make run`: the sample tree over FTP, seen with curl as a peer client,
// and nothing left running once the client (or the script) ends.

#include "support/TemporaryFolder.h"

#include "platform/TcpSocket.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using std::chrono::milliseconds;

const QString scripts = QStringLiteral(KEVRA_SOURCE_DIR "/scripts/");

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// Command lines of every process that names the text: whatever a test started mentions its
// temporary folder.
QStringList processesMentioning(const QString& text)
{
    QStringList found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile cmdline(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromUtf8(cmdline.readAll().replace('\0', ' '));
        if (line.contains(text))
            found << line;
    }
    return found;
}

class DemoServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_NO_FATAL_FAILURE(makeTree());
    }

    void makeTree()
    {
        QProcess make;
        make.start(QStringLiteral("bash"), {scripts + QStringLiteral("make-demo-tree.sh"), tree});
        ASSERT_TRUE(make.waitForFinished(30000));
        ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    }

    void TearDown() override
    {
        if (demo.state() != QProcess::NotRunning) {
            demo.kill();
            demo.waitForFinished(5000);
        }
    }

    // The client is a shell that notes the address it was given and waits for the stop file.
    void startDemo()
    {
        const QString client = QStringLiteral("echo \"$0\" > '%1'; i=0; "
                                              "while [ ! -e '%2' ] && [ $i -lt 600 ]; do "
                                              "sleep 0.05; i=$((i+1)); done; exit 7")
                                   .arg(urlFile, stopFile);
        demo.start(QStringLiteral("bash"), {scripts + QStringLiteral("run-demo.sh"), tree,
                                            QStringLiteral("sh"), QStringLiteral("-c"), client});
        ASSERT_TRUE(demo.waitForStarted(5000));
        for (int i = 0; i < 200 && readText(urlFile).isEmpty(); ++i)
            std::this_thread::sleep_for(milliseconds(50));
        url = readText(urlFile);
        ASSERT_TRUE(url.startsWith(QStringLiteral("ftp://127.0.0.1:"))) << url.toStdString();
    }

    QString curl(const QString& path, const QStringList& options = {})
    {
        QProcess process;
        process.start(
            QStringLiteral("curl"),
            QStringList{QStringLiteral("-sS"), QStringLiteral("--max-time"), QStringLiteral("20")} +
                options +
                QStringList{url + QString::fromLatin1(QUrl::toPercentEncoding(path, "/"))});
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return QStringLiteral("curl failed: ") +
                   QString::fromUtf8(process.readAllStandardError());
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    bool serverAnswers() const
    {
        TcpSocket probe;
        return probe.connect(QStringLiteral("127.0.0.1"), QUrl(url).port(), milliseconds(1000));
    }

    void expectNothingLeft()
    {
        QStringList left = processesMentioning(folder.path());
        for (int i = 0; i < 100 && !left.isEmpty(); ++i) {
            std::this_thread::sleep_for(milliseconds(50));
            left = processesMentioning(folder.path());
        }
        EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(serverAnswers());
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
    ASSERT_NO_FATAL_FAILURE(startDemo());

    const QString top = curl(QStringLiteral(""), {QStringLiteral("--list-only")});
    for (const char* name :
         {"欢迎使用 KEVRA.txt", "README.txt", "文档", "documents", "photos", "照片", "软件",
          "file with  two spaces.txt", "上传 uploads", "大文件 100MB.bin"})
        EXPECT_TRUE(top.contains(QString::fromUtf8(name))) << name << "\n" << top.toStdString();
    EXPECT_TRUE(curl(QStringLiteral("软件/工具/版本 1.0/"), {QStringLiteral("--list-only")})
                    .contains(QStringLiteral("更新说明.txt")));
    EXPECT_TRUE(curl(QStringLiteral("大文件 100MB.bin"), {QStringLiteral("-I")})
                    .contains(QStringLiteral("Content-Length: 104857600")));

    const QString upload = folder.filePath(QStringLiteral("upload.txt"));
    QFile(upload).open(QIODevice::WriteOnly);
    curl(QStringLiteral("上传 uploads/新文件.txt"), {QStringLiteral("-T"), upload});
    EXPECT_TRUE(QFile::exists(tree + QStringLiteral("/上传 uploads/新文件.txt")));

    QFile(stopFile).open(QIODevice::WriteOnly);
    ASSERT_TRUE(demo.waitForFinished(10000));
    EXPECT_EQ(demo.exitCode(), 7); // the client's own status
    expectNothingLeft();
}

TEST_F(DemoServerTest, InterruptedScriptEndsClientAndServer)
{
    ASSERT_NO_FATAL_FAILURE(startDemo());
    ASSERT_TRUE(serverAnswers());
    demo.terminate();
    ASSERT_TRUE(demo.waitForFinished(10000));
    EXPECT_NE(demo.exitCode(), 0);
    expectNothingLeft();
}

TEST_F(DemoServerTest, MakingTheTreeAgainKeepsWhatTheUserChanged)
{
    const QString readme = tree + QStringLiteral("/README.txt");
    QFile file(readme);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("edited");
    file.close();
    ASSERT_NO_FATAL_FAILURE(makeTree());
    EXPECT_EQ(readText(readme), QStringLiteral("edited"));
}

} // namespace
