#include "archive/ArchiveServiceThread.h"

#include "archive/ScriptedArchiveService.h"
#include "support/NamedCases.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <mutex>

using namedcases::caseName;
using namedcases::operator<<;

namespace {

const QString compressOne = QStringLiteral("A\r/pub/a.txt\r");
const QString compressTwo = QStringLiteral("A\r/pub/a.txt\r/pub/b.txt\r");
const QString extractOne = QStringLiteral("X\r/pub/x.zip\r");

// Runs one worker to its end against the given service port and collects what it reports.
struct Outcome {
    QString log;
    int refreshes = 0;
};

Outcome runWorker(quint16 port, const QString& request, ArchiveServiceThread::Limits limits = {})
{
    Outcome outcome;
    std::mutex lock;
    {
        ArchiveServiceThread worker(
            {QStringLiteral("127.0.0.1"), port, QStringLiteral("alice"), request},
            [&](const QString& line) {
                std::lock_guard<std::mutex> hold(lock);
                outcome.log += line;
            },
            [&] {
                std::lock_guard<std::mutex> hold(lock);
                ++outcome.refreshes;
            },
            limits);
        worker.start();
        worker.wait();
    }
    return outcome;
}

struct ReplyCase {
    const char* name;
    QString request;
    QList<QByteArray> pieces;
    const char* log;
    int refreshes;
};

class ServiceReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ServiceReplies, AreLoggedAndRefreshed)
{
    const ReplyCase& row = GetParam();
    ScriptedArchiveService service(row.pieces);
    const Outcome outcome = runWorker(service.port(), row.request);
    EXPECT_EQ(outcome.log, QString::fromUtf8(row.log));
    EXPECT_EQ(outcome.refreshes, row.refreshes);
}

constexpr char doneTwo[] = "正在压缩/pub/a.txt等中\r\n压缩/pub/a.txt等成功\r\n";

INSTANTIATE_TEST_SUITE_P(
    Tokens, ServiceReplies,
    ::testing::Values(
        ReplyCase{"ProgressThenDone", compressTwo, {"C", "S"}, doneTwo, 2},
        ReplyCase{"MergedInOneRead", compressTwo, {"CS"}, doneTwo, 2},
        ReplyCase{"DoneWithoutProgress", compressOne, {"S"}, "压缩/pub/a.txt成功\r\n", 1},
        ReplyCase{"ProgressThenPasswordError",
                  compressOne,
                  {"C", "PE"},
                  "正在压缩/pub/a.txt中\r\nPassword err!\r\n",
                  1},
        ReplyCase{"TokenSplitAcrossReads", compressOne, {"P", "E"}, "Password err!\r\n", 0},
        ReplyCase{"UserRejected", compressOne, {"UE"}, "userName err!\r\n", 0},
        ReplyCase{"Failed",
                  extractOne,
                  {"C", "F"},
                  "正在解压/pub/x.zip中\r\nfalse!\r\n原因：服务端未说明失败的原因\r\n",
                  1},
        ReplyCase{
            "FailedWithItsReason",
            extractOne,
            {"C", "F", "WHY:NOSPACE\r"},
            "正在解压/pub/x.zip中\r\nfalse!\r\n原因：服务器磁盘空间或可建文件数不足，已拒绝\r\n",
            1},
        ReplyCase{"Busy", compressOne, {"O"}, "系统繁忙中，请稍后重试\r\n", 0},
        ReplyCase{"ExtractDone",
                  extractOne,
                  {"C", "S"},
                  "正在解压/pub/x.zip中\r\n解压/pub/x.zip成功\r\n",
                  2},
        ReplyCase{"LowerCaseIsNoToken", compressOne, {"s"}, "", 0},
        ReplyCase{"LoneHalfToken", compressOne, {"U"}, "", 0},
        ReplyCase{"ClosedWithoutReply", compressOne, {}, "", 0}),
    caseName);

TEST(ArchiveServiceThread, SendsLogonAndRequestInOnePiece)
{
    ScriptedArchiveService service({"S"});
    runWorker(service.port(), compressOne);
    EXPECT_EQ(service.received(), QByteArray("UID:alice\rPASS:740316\rA\r/pub/a.txt\r"));
}

TEST(ArchiveServiceThread, UnreachableServiceSaysSo)
{
    quint16 closedPort = 0;
    {
        TcpListener listener;
        ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
        closedPort = listener.port();
    }
    EXPECT_EQ(runWorker(closedPort, compressOne).log, QStringLiteral("无法创建连接\r\n"));
}

// A service that accepts and never answers holds the worker only for the reply time-out.
TEST(ArchiveServiceThread, SilentServiceEndsAfterTheTimeOut)
{
    TcpListener listener;
    ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
    ArchiveServiceThread::Limits limits;
    limits.firstReply = std::chrono::milliseconds(300);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runWorker(listener.port(), compressOne, limits).log, QString());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

} // namespace
