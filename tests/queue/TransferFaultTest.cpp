#include "TransferFixture.h"

#include "support/ChildProcess.h"
#include "support/NamedCases.h"

#include "queue/TransferOneFile.h"

namespace {

using namedcases::operator<<;

// Queued transfers through bench/chaos-relay.py, which breaks the connections on purpose.
class TransferFaultTest : public TransferFixture {
protected:
    void startRelay(const QStringList& faults)
    {
        const QString out = localFile(QStringLiteral("relay.out"));
        ASSERT_TRUE(
            relay.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{QStringLiteral(KEVRA_SOURCE_DIR "/bench/chaos-relay.py"),
                                    QStringLiteral("--target"),
                                    QStringLiteral("127.0.0.1:%1").arg(serverPort)} +
                            faults,
                        out));
        ASSERT_TRUE(waitUntil([&] { return readAll(out).startsWith("PORT "); }));
        serverPort = static_cast<quint16>(readAll(out).mid(5).trimmed().toInt());
        // Passive: an active connection that fails is tried again in passive mode within the
        // transfer, which would hide the retry under test.
        writeConfiguration("[Transfer]\r\nDataMode=passive\r\nRetries=10\r\nRetryDelays=1\r\n");
        connectSession();
    }

    static QByteArray readAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Queues the transfer of a new file of the given size; the row.
    int queueNew(bool download, const QString& name, qint64 size)
    {
        makeFile(download ? remoteFile(name) : localFile(name), size);
        return download ? addDownload(name, name) : addUpload(name, name);
    }

    ChildProcess relay;
};

struct FaultCase {
    const char* name;
    const char* fault; // --only argument
    bool download;
    qint64 size;
    const char* state;  // the row's last state
    const char* logged; // a log line that must be there ("" none)
};

class FaultCaseTest : public TransferFaultTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultCaseTest, EndsCompleteOnlyWithTheWholeFileUnderItsName)
{
    const FaultCase& c = GetParam();
    startRelay({QStringLiteral("--only"), QString::fromLatin1(c.fault)});
    const QString name = QStringLiteral("f.bin");
    const int row = queueNew(c.download, name, c.size);
    const QString target = c.download ? localFile(name) : remoteFile(name);
    const QString source = c.download ? remoteFile(name) : localFile(name);
    const bool complete = QString::fromUtf8(c.state) != QueueState::Failed;
    ASSERT_TRUE(waitForState(row, QString::fromUtf8(c.state))) << state(row).toStdString();
    EXPECT_EQ(sha256(complete ? target : TransferOneFile::temporaryName(target)), sha256(source));
    EXPECT_EQ(QFile::exists(TransferOneFile::temporaryName(target)), !complete);
    EXPECT_TRUE(log().join(QString()).contains(QString::fromUtf8(c.logged)))
        << log().join(QString()).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultCaseTest,
    ::testing::Values(FaultCase{"ControlResetRightAfterRnfr", "ctrl-reset:RNFR:1", false, 40000,
                                "上传完成", "网络中断"},
                      FaultCase{"DataResetAnswered426IsRetried", "data-reset:RETR:1", true,
                                1024 * 1024, "下载完成", "网络中断"},
                      FaultCase{"RefusedRenameKeepsThePart", "refuse:RNFR:1", false, 40000, "err",
                                "550 Permission denied."}),
    namedcases::caseName);

TEST_F(TransferFaultTest, DownloadOntoAFolderOfThatNameFails)
{
    ASSERT_TRUE(QDir().mkpath(localFile(QStringLiteral("taken/inside"))));
    prompt.answerNext(PromptAnswer::Yes);
    const int row = queueNew(true, QStringLiteral("taken"), 5000);
    ASSERT_TRUE(waitForState(row, QueueState::Failed)) << state(row).toStdString();
    EXPECT_EQ(sha256(localFile(QStringLiteral("taken.td"))),
              sha256(remoteFile(QStringLiteral("taken"))));
}

// A seeded mix of every fault on small files both ways: each ends complete and identical.
TEST_F(TransferFaultTest, ShortSoakEndsEveryTransferIdentical)
{
    // Seed 1 resets control connections right after RNFR and RNTO, and data connections.
    startRelay({QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--rate"),
                QStringLiteral("0.15")});
    std::vector<int> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back(queueNew(i % 2 == 0, QStringLiteral("soak-%1").arg(i), 1000 + i * 7000));
    for (int i = 0; i < 20; ++i) {
        const QString name = QStringLiteral("soak-%1").arg(i);
        const bool download = i % 2 == 0;
        EXPECT_TRUE(
            waitForState(rows[i], download ? QueueState::Downloaded : QueueState::Uploaded, 30000))
            << name.toStdString() << " " << state(rows[i]).toStdString();
        EXPECT_EQ(sha256(localFile(name)), sha256(remoteFile(name))) << name.toStdString();
    }
}

} // namespace
