#include "FakeServerFixture.h"
#include "support/NamedCases.h"

#include <QThread>

#include <gmock/gmock.h>

#include <vector>

namespace {

using namedcases::operator<<;
using namedcases::caseName;
using std::chrono::milliseconds;
using ::testing::ElementsAre;

QStringList allLines(FtpClient& client)
{
    QStringList lines;
    qsizetype position = 0;
    // A listing of n bytes has at most n + 1 lines; the bound only guards the test.
    for (qsizetype guard = 0; guard <= client.listBuffer.size() && client.NextListLine(position);
         ++guard)
        lines.append(client.listLine);
    return lines;
}

struct CutCase {
    const char* name;
    QByteArray buffer;
    QStringList lines;
};

class NextListLineTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(NextListLineTest, CutsEveryLineOnce)
{
    FtpClient client;
    client.listBuffer = GetParam().buffer;
    EXPECT_EQ(allLines(client), GetParam().lines);
    EXPECT_TRUE(client.listLine.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, NextListLineTest,
    ::testing::Values(
        CutCase{"Empty", QByteArray(), {}},
        CutCase{"CrLf",
                "drwxr-xr-x a\r\n-rw-r--r-- b\r\n",
                {QStringLiteral("drwxr-xr-x a"), QStringLiteral("-rw-r--r-- b")}},
        CutCase{"LfOnlyKeepsLastCharacter",
                "abc\ndef\n",
                {QStringLiteral("abc"), QStringLiteral("def")}},
        CutCase{"LastLineWithoutLf", "one\r\ntwo", {QStringLiteral("one"), QStringLiteral("two")}},
        CutCase{"LastLineWithoutLfEndingInCr",
                "one\r\ntwo\r",
                {QStringLiteral("one"), QStringLiteral("two")}},
        CutCase{"EmptyLinesStay", "\r\n\nx\n", {QString(), QString(), QStringLiteral("x")}},
        CutCase{"CrInsideALineStays", "a\rb\r\n", {QStringLiteral("a\rb")}},
        CutCase{"OnlyOneCrIsDropped", "a\r\r\n", {QStringLiteral("a\r")}},
        CutCase{"GbkName",
                "-rw-r--r-- 1 ftp ftp 3 Jan 1 00:00 \xd6\xd0\xce\xc4.txt\r\n",
                {QStringLiteral("-rw-r--r-- 1 ftp ftp 3 Jan 1 00:00 中文.txt")}}),
    caseName);

TEST(NextListLine, PositionOutsideTheBufferGivesNothing)
{
    FtpClient client;
    client.listBuffer = "abc\n";
    for (qsizetype position : {qsizetype(-1), qsizetype(4), qsizetype(100)}) {
        client.listLine = QStringLiteral("stale");
        EXPECT_FALSE(client.NextListLine(position));
        EXPECT_TRUE(client.listLine.isEmpty());
    }
}

class ListTest : public FakeServerFixture {
protected:
    using FakeServerFixture::FakeServerFixture;

    // The server's side up to the data connection: TYPE I, PORT and "LIST " answered 150.
    // Gives the PORT argument to connect to.
    static QByteArray requestListing(FakeFtpSession& s)
    {
        s.exchange("TYPE I", "200 ok");
        const QByteArray port = s.expectPrefix("PORT ");
        s.send("200 ok");
        s.exchange("LIST ", "150 listing");
        return port;
    }

    // The server's side of one listing: TYPE I, PORT and LIST, then the data.
    static void serveListing(FakeFtpSession& s, const QByteArray& command,
                             const QByteArray& listing)
    {
        s.exchange("TYPE I", "200 Switching to Binary mode.");
        const QByteArray port = s.expectPrefix("PORT ");
        s.send("200 PORT command successful.");
        s.expect(command);
        s.send("150 Here comes the directory listing.");
        s.connectActive(port);
        s.sendData(listing);
        s.closeData();
        s.send("226 Directory send OK.");
    }
};

TEST_F(ListTest, ListingArrivesOverAnActiveConnectionAndTheFinalReplyStaysPending)
{
    const QByteArray listing = "drwxr-xr-x 2 ftp ftp 4096 Jan 01 00:00 pub\r\n"
                               "-rw-r--r-- 1 ftp ftp 12 Jan 01 00:00 a.txt\r\n";
    startLoggedOn([&listing](FakeFtpSession& s) { serveListing(s, "LIST ", listing); });
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    EXPECT_EQ(client.listBuffer, listing);
    EXPECT_EQ(client.replyLine, QStringLiteral("150 Here comes the directory listing."));
    EXPECT_TRUE(client.Command(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("226 Directory send OK."));
    const QList<QByteArray> commands = commandsAfterLogon();
    ASSERT_EQ(commands.size(), 3);
    EXPECT_EQ(commands.at(0), "TYPE I");
    EXPECT_TRUE(commands.at(1).startsWith("PORT 127,0,0,1,"));
    EXPECT_EQ(commands.at(2), "LIST ");
    EXPECT_THAT(allLines(client), ElementsAre(QStringLiteral("drwxr-xr-x 2 ftp ftp 4096 Jan 01 "
                                                             "00:00 pub"),
                                              QStringLiteral("-rw-r--r-- 1 ftp ftp 12 Jan 01 "
                                                             "00:00 a.txt")));
    expectScriptDone();
}

TEST_F(ListTest, ArgumentIsEncodedWithTheConnectionCodec)
{
    startLoggedOn(
        [](FakeFtpSession& s) {
            serveListing(s, "LIST \xe4\xb8\xad\xe6\x96\x87", "x \xe4\xb8\xad\xe6\x96\x87\n");
        },
        true);
    ASSERT_TRUE(client.List(QStringLiteral("中文")));
    ASSERT_TRUE(client.Command(QString()));
    EXPECT_THAT(allLines(client), ElementsAre(QStringLiteral("x 中文")));
    expectScriptDone();
}

TEST_F(ListTest, EmptyListingGivesNoLines)
{
    startLoggedOn([](FakeFtpSession& s) { serveListing(s, "LIST ", QByteArray()); });
    ASSERT_TRUE(client.List(QString()));
    EXPECT_TRUE(client.listBuffer.isEmpty());
    EXPECT_TRUE(allLines(client).isEmpty());
    expectScriptDone();
}

TEST_F(ListTest, RefusedListFailsAtOnceWithTheServersReply)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("TYPE I", "200 ok");
        s.expectPrefix("PORT ");
        s.send("200 ok");
        s.exchange("LIST nowhere", "550 No such directory.");
    });
    EXPECT_FALSE(client.List(QStringLiteral("nowhere")));
    EXPECT_EQ(client.replyLine, QStringLiteral("550 No such directory."));
    expectScriptDone();
}

TEST_F(ListTest, RefusedTypeOrPortStopsTheListing)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("TYPE I", "504 no binary here");
        s.exchange("TYPE I", "200 ok");
        s.expectPrefix("PORT ");
        s.send("500 Illegal PORT command.");
    });
    EXPECT_FALSE(client.List(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("504 no binary here"));
    EXPECT_FALSE(client.List(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("500 Illegal PORT command."));
    expectScriptDone();
}

TEST_F(ListTest, DataConnectionFromAnotherAddressIsRefused)
{
    startLoggedOn([](FakeFtpSession& s) {
        const QByteArray port = requestListing(s);
        TcpSocket stranger = s.connectStranger(port, QStringLiteral("127.0.0.2"));
        const QByteArray forged = "forged line\r\n";
        stranger.sendAll(forged.constData(), forged.size(), s.timeout());
        char byte = 0;
        // The client closes the stranger's connection without reading from it.
        s.waitUntil([&] { return stranger.receive(&byte, 1, milliseconds(10)) == 0; },
                    "the stranger's connection is closed");
        s.connectActive(port);
        s.sendData("real line\r\n");
        s.closeData();
        s.send("226 done");
    });
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    EXPECT_EQ(client.listBuffer, QByteArray("real line\r\n"));
    expectScriptDone();
}

TEST_F(ListTest, NoDataConnectionTimesOutWithNetworkError)
{
    client.setTimeout(milliseconds(300));
    startLoggedOn([](FakeFtpSession& s) {
        const QByteArray port = requestListing(s);
        s.connectStranger(port, QStringLiteral("127.0.0.3"));
        s.expectClosed();
    });
    EXPECT_FALSE(client.List(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.Disconnect();
    expectScriptDone();
}

TEST_F(ListTest, StalledListingTimesOutWithNetworkError)
{
    client.setTimeout(milliseconds(300));
    startLoggedOn([](FakeFtpSession& s) {
        const QByteArray port = requestListing(s);
        s.connectActive(port);
        s.sendData("partial line without end");
        s.receiveData();
    });
    EXPECT_FALSE(client.List(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    expectScriptDone();
}

TEST_F(ListTest, BrokenListingConnectionIsAFileErrorNotATruncatedListing)
{
    startLoggedOn([](FakeFtpSession& s) {
        const QByteArray port = requestListing(s);
        s.connectActive(port);
        // More than the socket buffers hold: once sent, the client has taken the connection.
        s.sendData(QByteArray(16 * 1024 * 1024, 'l'));
        s.resetData();
    });
    EXPECT_FALSE(client.List(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    expectScriptDone();
}

TEST_F(ListTest, ListingBeyondTheBoundIsRefused)
{
    const qsizetype bound = qsizetype(256) * 1024 * 1024;
    startLoggedOn([bound](FakeFtpSession& s) {
        const QByteArray port = requestListing(s);
        s.connectActive(port);
        const QByteArray chunk(4 * 1024 * 1024, 'z');
        for (qsizetype sent = 0; sent <= bound; sent += chunk.size()) {
            if (!s.trySendData(chunk))
                break;
        }
    });
    EXPECT_FALSE(client.List(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    EXPECT_TRUE(client.listBuffer.isEmpty());
    client.Disconnect();
    ASSERT_TRUE(server.finish());
}

class Ipv6ListTest : public ListTest {
protected:
    Ipv6ListTest() : ListTest(QStringLiteral("::1")) {}
};

TEST_F(Ipv6ListTest, ListingOverIpv6UsesEprt)
{
    if (!server.isListening())
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("TYPE I", "200 ok");
        const QByteArray port = s.expectPrefix("EPRT |2|::1|");
        s.send("200 EPRT command successful.");
        s.exchange("LIST ", "150 listing");
        s.connectActive(port);
        s.sendData("v6 line\r\n");
        s.closeData();
        s.send("226 done");
    });
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    EXPECT_EQ(client.listBuffer, QByteArray("v6 line\r\n"));
    expectScriptDone();
}

// 150 and 226 both arrive before the server's data connection: the caller collecting the
// closing reply gets the one already read instead of waiting out the time-out for another.
TEST_F(ListTest, ClosingReplyReadBeforeTheDataConnectionIsHandedToItsCollector)
{
    client.setTimeout(milliseconds(2000));
    startLoggedOn([](FakeFtpSession& s) {
        const QByteArray port = requestListing(s);
        s.send("226 Directory send OK.");
        QThread::msleep(100);
        s.connectActive(port);
        s.closeData();
        s.exchange("NOOP", "200 NOOP ok.");
    });
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    EXPECT_TRUE(client.Command(QString())) << client.replyLine.toStdString();
    EXPECT_EQ(client.replyLine, QStringLiteral("226 Directory send OK."));
    EXPECT_TRUE(client.Command(QStringLiteral("NOOP")));
    expectScriptDone();
}

} // namespace

namespace {

// A server that announces MLST but does not know MLSD after all: the folder is listed with LIST
// at once, and the connection does not ask for MLSD again.
TEST_F(ListTest, RefusedMachineListingFallsBackToList)
{
    const QByteArray listing = "-rw-r--r-- 1 ftp ftp 12 Jan 01 00:00 a.txt\r\n";
    ASSERT_TRUE(server.isListening());
    server.start([&listing](FakeFtpSession& s) {
        s.send("220 fake server ready");
        s.exchange("USER tester", "331 Please specify the password.");
        s.exchange("PASS secret", "230 Login successful.");
        s.expect("FEAT");
        s.send("211-Features:");
        s.send(" MLST type*;size*;modify*;");
        s.send("211 End");
        s.exchange("TYPE I", "200 Switching to Binary mode.");
        s.expectPrefix("PORT ");
        s.send("200 PORT command successful.");
        s.exchange("MLSD /pub", "500 Unknown command.");
        for (int listed = 0; listed < 2; ++listed) {
            const QByteArray port = s.expectPrefix("PORT ");
            s.send("200 PORT command successful.");
            s.expect("LIST /pub");
            s.send("150 Here comes the directory listing.");
            s.connectActive(port);
            s.sendData(listing);
            s.closeData();
            s.send("226 Directory send OK.");
        }
    });
    ASSERT_TRUE(client.Logon(fakeServerLogon(server))) << client.replyLine.toStdString();
    for (int listed = 0; listed < 2; ++listed) {
        ASSERT_TRUE(client.ListFolder(QStringLiteral("/pub"))) << client.replyLine.toStdString();
        EXPECT_EQ(client.listBuffer, listing);
        EXPECT_TRUE(client.Command(QString()));
    }
    expectScriptDone();
}

} // namespace
