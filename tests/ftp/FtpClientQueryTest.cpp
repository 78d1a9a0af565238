#include "FakeServerFixture.h"

#include <gmock/gmock.h>

namespace {

using std::chrono::milliseconds;
using ::testing::ElementsAre;

class QueryTest : public FakeServerFixture {};

TEST_F(QueryTest, PwdGivesThePathBetweenTheQuotes)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("PWD", "257 \"/home/tester\" is the current directory");
        s.exchange("PWD", "257 \"/a\"\"b\" doubled quotes stay as they are");
        s.exchange("PWD", "257 \"/no/closing/quote");
    });
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/home/tester"));
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/a"));
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/no/closing/quote"));
    expectScriptDone();
}

TEST_F(QueryTest, PwdSkipsStaleRepliesOfEarlierCommands)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.expect("PWD");
        s.send("150 Opening BINARY mode data connection.");
        s.send("226 Transfer complete.");
        s.send("257 \"/pub\" is the current directory");
    });
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/pub"));
    expectScriptDone();
}

TEST_F(QueryTest, PwdTakesA550AfterAStaleReplyAsRefusal)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.expect("PWD");
        s.send("226 Transfer complete.");
        s.send("550 Permission denied.");
    });
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("0"));
    expectScriptDone();
}

TEST_F(QueryTest, PwdAnsweredDirectlyWith550EndsAtTheTimeOut)
{
    client.setTimeout(milliseconds(200));
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("PWD", "550 Permission denied.");
        s.expectClosed();
    });
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("0"));
    client.Disconnect();
    expectScriptDone();
}

TEST_F(QueryTest, PwdOnALostConnectionEndsWithZero)
{
    startLoggedOn([](FakeFtpSession& s) { s.expect("PWD"); });
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("0"));
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("0"));
    expectScriptDone();
}

TEST_F(QueryTest, SizeGivesTheNumberText)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE a.bin", "213 1234");
        s.exchange("SIZE big.iso", "213  4294967396 ");
    });
    EXPECT_EQ(client.QuerySize(QStringLiteral("a.bin")), QStringLiteral("1234"));
    EXPECT_EQ(client.QuerySize(QStringLiteral("big.iso")), QStringLiteral("4294967396"));
    expectScriptDone();
}

TEST_F(QueryTest, SizeOfAMissingFileIsZero)
{
    startLoggedOn(
        [](FakeFtpSession& s) { s.exchange("SIZE gone.txt", "550 Could not get file size."); });
    EXPECT_EQ(client.QuerySize(QStringLiteral("gone.txt")), QStringLiteral("0"));
    expectScriptDone();
}

TEST_F(QueryTest, SizeSendsTheNameWithItsBlanksAndSkipsStaleReplies)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.expect("SIZE my file.txt ");
        s.send("150 Opening BINARY mode data connection.");
        s.send("226 Transfer complete.");
        s.send("213 99");
    });
    EXPECT_EQ(client.QuerySize(QStringLiteral("my file.txt ")), QStringLiteral("99"));
    EXPECT_THAT(commandsAfterLogon(), ElementsAre(QByteArray("SIZE my file.txt ")));
    expectScriptDone();
}

TEST_F(QueryTest, SizeOnALostConnectionOrSilenceEndsWithZero)
{
    client.setTimeout(milliseconds(200));
    // The silence closes the connection: the second query is not sent on it.
    startLoggedOn([](FakeFtpSession& s) {
        s.expect("SIZE slow");
        s.expectClosed();
    });
    EXPECT_EQ(client.QuerySize(QStringLiteral("slow")), QStringLiteral("0"));
    EXPECT_EQ(client.QuerySize(QStringLiteral("gone")), QStringLiteral("0"));
    expectScriptDone();
}

TEST_F(QueryTest, SizeGivesUpAfterTooManyForeignReplies)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.expect("SIZE x");
        for (int i = 0; i < 150; ++i)
            s.send("200 noise");
        s.send("213 5");
    });
    EXPECT_EQ(client.QuerySize(QStringLiteral("x")), QStringLiteral("0"));
    client.Disconnect();
    ASSERT_TRUE(server.finish());
}

} // namespace
