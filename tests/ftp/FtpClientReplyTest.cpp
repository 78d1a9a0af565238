#include "FakeServerFixture.h"

#include "platform/TcpListener.h"
#include "support/NamedCases.h"

#include <gmock/gmock.h>

namespace {

using namedcases::operator<<;
using namedcases::caseName;
using std::chrono::milliseconds;

// Connects without logging on, so that the script is nothing but the replies under test.
class ReplyTest : public FakeServerFixture {
protected:
    void connectTo(FakeFtpServer::Script script)
    {
        server.start(std::move(script));
        ASSERT_TRUE(client.Connect(server.address(), server.port()))
            << client.replyLine.toStdString();
    }
};

TEST_F(ReplyTest, MultiLineReplyEndsOnlyAtItsOwnCodeFollowedBySpace)
{
    connectTo([](FakeFtpSession& s) {
        s.send("220-Welcome");
        s.send("221 not the end: another code");
        s.send("220not the end either");
        s.send(" 220 nor an indented line");
        s.send("220 ready");
    });
    ASSERT_TRUE(client.ReadReply());
    EXPECT_EQ(client.replyText, QStringLiteral("220-Welcome\r\n221 not the end: another code\r\n"
                                               "220not the end either\r\n"
                                               " 220 nor an indented line\r\n220 ready\r\n"));
    EXPECT_EQ(client.replyLine, QStringLiteral("220 ready"));
    EXPECT_EQ(client.replyClass, 2);
    expectScriptDone();
}

TEST_F(ReplyTest, ClassIsTakenFromEveryLineAndEmptyLinesKeepIt)
{
    connectTo([](FakeFtpSession& s) {
        s.send("331-first");
        s.send("");
        s.send("331 last");
        s.send("");
    });
    ASSERT_TRUE(client.ReadReply());
    EXPECT_EQ(client.replyClass, 3);
    ASSERT_TRUE(client.ReadLine());
    EXPECT_TRUE(client.replyLine.isEmpty());
    EXPECT_EQ(client.replyClass, 3);
    expectScriptDone();
}

TEST_F(ReplyTest, BareLineFeedsReadLikeCrLf)
{
    connectTo([](FakeFtpSession& s) { s.sendRaw("230-a\n230 b\r\n200 c\n"); });
    ASSERT_TRUE(client.ReadReply());
    EXPECT_EQ(client.replyText, QStringLiteral("230-a\r\n230 b\r\n"));
    ASSERT_TRUE(client.ReadReply());
    EXPECT_EQ(client.replyLine, QStringLiteral("200 c"));
    expectScriptDone();
}

TEST_F(ReplyTest, CommandIsTrueForClassesTwoAndThreeOnly)
{
    connectTo([](FakeFtpSession& s) {
        s.exchange("NOOP", "200 ok");
        s.exchange("RNFR a", "350 ready");
        s.exchange("RNTO b", "550 no");
        s.exchange("STAT", "150 later");
    });
    EXPECT_TRUE(client.Command(QStringLiteral("NOOP")));
    EXPECT_TRUE(client.Command(QStringLiteral("RNFR a")));
    EXPECT_FALSE(client.Command(QStringLiteral("RNTO b")));
    EXPECT_EQ(client.replyLine, QStringLiteral("550 no"));
    EXPECT_FALSE(client.Command(QStringLiteral("STAT")));
    EXPECT_EQ(client.replyClass, 1);
    expectScriptDone();
}

TEST_F(ReplyTest, EmptyCommandOnlyReadsThePendingReply)
{
    connectTo([](FakeFtpSession& s) {
        s.send("226 Transfer complete.");
        s.expectClosed();
    });
    EXPECT_TRUE(client.Command(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("226 Transfer complete."));
    client.Disconnect();
    expectScriptDone();
    EXPECT_THAT(server.commands(), ::testing::IsEmpty());
}

TEST_F(ReplyTest, ClosedConnectionIsANetworkErrorKeepingTheLinesRead)
{
    connectTo([](FakeFtpSession& s) {
        s.send("220-one");
        s.send("220-two");
    });
    EXPECT_FALSE(client.ReadReply());
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    EXPECT_EQ(client.replyText, QStringLiteral("220-one\r\n220-two\r\n"));
    expectScriptDone();
}

TEST_F(ReplyTest, SilentServerTimesOut)
{
    client.setTimeout(milliseconds(150));
    connectTo([](FakeFtpSession& s) { s.expectClosed(); });
    EXPECT_FALSE(client.ReadReply());
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.Disconnect();
    expectScriptDone();
}

struct LongLineCase {
    const char* name;
    qsizetype length;
    bool accepted;
};

class LongReplyLineTest : public ReplyTest, public ::testing::WithParamInterface<LongLineCase> {};

TEST_P(LongReplyLineTest, LinesBeyond64KiBAreANetworkError)
{
    const LongLineCase c = GetParam();
    connectTo([c](FakeFtpSession& s) {
        s.send("200 " + QByteArray(c.length - 4, 'x'));
        s.expectClosed();
    });
    EXPECT_EQ(client.ReadReply(), c.accepted);
    if (c.accepted)
        EXPECT_EQ(client.replyLine.size(), c.length);
    else
        EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.Disconnect();
    ASSERT_TRUE(server.finish());
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongReplyLineTest,
                         ::testing::Values(LongLineCase{"Exactly64KiB", 64 * 1024, true},
                                           LongLineCase{"OneByteOver64KiB", 64 * 1024 + 1, false},
                                           LongLineCase{"FourMiB", 4 * 1024 * 1024, false}),
                         caseName);

TEST_F(ReplyTest, EndlessMultiLineReplyIsCutOff)
{
    connectTo([](FakeFtpSession& s) {
        s.send("211-Status follows");
        const QByteArray line = " " + QByteArray(1000, 'y');
        for (int i = 0; i < 5000; ++i)
            s.send(line);
    });
    EXPECT_FALSE(client.ReadReply());
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    EXPECT_LE(client.replyText.size(), 2 * 1024 * 1024);
    client.Disconnect();
    ASSERT_TRUE(server.finish());
}

TEST_F(ReplyTest, NothingIsSentOrReadWithoutAConnection)
{
    EXPECT_FALSE(client.isConnected());
    EXPECT_FALSE(client.SendCommand(QStringLiteral("NOOP")));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.replyLine.clear();
    EXPECT_FALSE(client.ReadLine());
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.Disconnect();
    client.Disconnect();
    EXPECT_FALSE(client.isConnected());
}

TEST_F(ReplyTest, RefusedConnectionCannotConnect)
{
    TcpListener closed;
    ASSERT_TRUE(closed.listen(QStringLiteral("127.0.0.1")));
    const quint16 port = closed.port();
    closed.close();
    EXPECT_FALSE(client.Connect(QStringLiteral("127.0.0.1"), port));
    EXPECT_EQ(client.replyLine, QStringLiteral("不能连接服务器"));
    EXPECT_FALSE(client.isConnected());
}

TEST_F(ReplyTest, ConnectAndDisconnect)
{
    connectTo([](FakeFtpSession& s) { s.expectClosed(); });
    EXPECT_TRUE(client.isConnected());
    client.Disconnect();
    EXPECT_FALSE(client.isConnected());
    expectScriptDone();
}

// A reply that did not come in time may still come, as the answer to the next command: the
// connection is closed and nothing more is sent on it.
TEST_F(ReplyTest, ReplyThatTimedOutClosesTheConnection)
{
    client.setTimeout(milliseconds(300));
    connectTo([](FakeFtpSession& s) {
        s.send("220 ready");
        s.expect("USER tester");
        s.expectClosed();
    });
    ASSERT_TRUE(client.Command(QString()));
    EXPECT_FALSE(client.Command(QStringLiteral("USER tester")));
    EXPECT_FALSE(client.Command(QStringLiteral("CWD /")));
    EXPECT_FALSE(client.isConnected());
    EXPECT_FALSE(client.connectionFault().isEmpty());
    expectScriptDone();
}

} // namespace
