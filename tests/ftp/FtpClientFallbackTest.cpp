#include "FakeServerFixture.h"
#include "support/NamedCases.h"

#include <functional>

namespace {

using namedcases::caseName;
using std::chrono::milliseconds;

const QByteArray listing = "-rw-r--r-- 1 ftp ftp 12 Jan 01 00:00 a.txt\r\n";
const QString fallbackLine = QStringLiteral("主动模式数据连接失败,改用被动模式\r\n");

// The passive half every fallback ends in: PASV, LIST, the listing and the closing reply. The
// binary mode asked for before the active attempt lasts.
void servePassiveListing(FakeFtpSession& s)
{
    s.expect("PASV");
    s.send(s.offerPassive());
    s.expect("LIST ");
    s.send("150 Here comes the directory listing.");
    s.acceptPassive();
    s.sendData(listing);
    s.closeData();
    s.send("226 Directory send OK.");
}

// How the server fails the active attempt, up to the point where the client must turn passive.
struct ActiveFailureCase {
    const char* name;
    std::function<void(FakeFtpSession&)> failActive;
};

class FallbackTest : public FakeServerFixture,
                     public ::testing::WithParamInterface<ActiveFailureCase> {
protected:
    FallbackTest()
    {
        client.setDataMode(DataConnectionMode::Automatic);
        client.setActiveWait(milliseconds(300));
        client.setLogSink([this](const QString& line) { logged.append(line); });
    }
    QStringList logged;
};

TEST_P(FallbackTest, ListingArrivesInPassiveModeAndTheClientStaysPassive)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("TYPE I", "200 Switching to Binary mode.");
        GetParam().failActive(s);
        servePassiveListing(s);
        s.expect("NOOP"); // the closing reply of the first listing was collected
        s.send("200 NOOP ok.");
        servePassiveListing(s);
    });
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    EXPECT_EQ(client.listBuffer, listing);
    EXPECT_TRUE(client.Command(QString()));
    EXPECT_TRUE(client.passiveInUse());
    EXPECT_TRUE(client.Command(QStringLiteral("NOOP")));
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    EXPECT_EQ(client.listBuffer, listing);
    EXPECT_EQ(logged, QStringList{fallbackLine});
    expectScriptDone();
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FallbackTest,
    ::testing::Values(ActiveFailureCase{"PortRefused",
                                        [](FakeFtpSession& s) {
                                            s.expectPrefix("PORT ");
                                            s.send("500 Illegal PORT command.");
                                        }},
                      ActiveFailureCase{"CannotOpenDataConnection",
                                        [](FakeFtpSession& s) {
                                            s.expectPrefix("PORT ");
                                            s.send("200 PORT command successful.");
                                            s.exchange("LIST ",
                                                       "425 Failed to establish connection.");
                                        }},
                      ActiveFailureCase{"ConnectionNeverArrives",
                                        [](FakeFtpSession& s) {
                                            s.expectPrefix("PORT ");
                                            s.send("200 PORT command successful.");
                                            s.expect("LIST ");
                                            // Only after the bounded wait does the client give up.
                                            s.expect("ABOR");
                                            s.send("425 Failed to establish connection.");
                                            s.send("225 No transfer to ABOR.");
                                        }}),
    caseName);

using DataModeTest = FakeServerFixture;

TEST_F(DataModeTest, ForcedActiveModeDoesNotTurnPassive)
{
    client.setDataMode(DataConnectionMode::Active);
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("TYPE I", "200 ok");
        s.expectPrefix("PORT ");
        s.send("500 Illegal PORT command.");
    });
    EXPECT_FALSE(client.List(QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("500 Illegal PORT command."));
    EXPECT_FALSE(client.networkFailure);
    EXPECT_FALSE(client.passiveInUse());
    expectScriptDone();
}

// Binary mode is asked for once per connection, and again after any other TYPE went out.
TEST_F(DataModeTest, BinaryModeIsAskedForOnceUntilAnotherTypeIsSent)
{
    client.setDataMode(DataConnectionMode::Passive);
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("TYPE I", "200 ok");
        servePassiveListing(s);
        servePassiveListing(s);
        s.exchange("TYPE A", "200 ok");
        s.exchange("TYPE I", "200 ok");
        servePassiveListing(s);
    });
    for (int round = 0; round < 3; ++round) {
        if (round == 2) {
            ASSERT_TRUE(client.Command(QStringLiteral("TYPE A")));
        }
        ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
        ASSERT_TRUE(client.Command(QString()));
    }
    expectScriptDone();
}

} // namespace
