#include "FakeServerFixture.h"

#include "platform/TextCodec.h"
#include "support/NamedCases.h"

#include <gmock/gmock.h>

#include <functional>
#include <vector>

namespace {

using namedcases::operator<<;
using namedcases::caseName;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Exchange {
    const char* command;
    const char* reply;
};

struct LogonCase {
    const char* name;
    int logonType;
    int serverPort; // 0: the fake server's own port
    std::vector<Exchange> exchanges;
    bool loggedOn;
    const char* failureText; // replyLine after a failed logon
};

// Types other than 0 reach the fake server as the firewall; the target host is a name that is
// only ever sent as text.
LogonInfo logonFor(const LogonCase& c, const FakeFtpServer& server)
{
    LogonInfo info;
    info.logonType = c.logonType;
    info.user = QStringLiteral("u");
    info.password = QStringLiteral("p");
    info.firewallUser = QStringLiteral("fu");
    info.firewallPassword = QStringLiteral("fp");
    if (c.logonType == 0) {
        info.host = server.address();
        info.port = server.port();
    } else {
        info.host = QStringLiteral("ftp.example.com");
        info.port = c.serverPort == 0 ? 21 : c.serverPort;
        info.firewallHost = server.address();
        info.firewallPort = server.port();
    }
    return info;
}

class LogonTableTest : public FakeServerFixture, public ::testing::WithParamInterface<LogonCase> {};

TEST_P(LogonTableTest, SendsTheRowsCommandsAndEndsAsTheTableSays)
{
    const LogonCase& c = GetParam();
    server.start([&c](FakeFtpSession& s) {
        s.send("220 proxy ready");
        for (const Exchange& step : c.exchanges)
            s.exchange(step.command, step.reply);
        if (c.loggedOn)
            s.answerFeat();
    });
    const bool result = client.Logon(logonFor(c, server));
    client.Disconnect();
    expectScriptDone();

    EXPECT_EQ(result, c.loggedOn) << client.replyLine.toStdString();
    QList<QByteArray> expected;
    for (const Exchange& step : c.exchanges)
        expected.append(step.command);
    if (c.loggedOn) {
        expected.append("FEAT");
        EXPECT_EQ(client.replyLine, QString::fromLatin1(c.exchanges.back().reply));
    } else {
        EXPECT_EQ(client.replyLine, QString::fromUtf8(c.failureText));
    }
    EXPECT_EQ(server.commands(), expected);
}

const char* const noFailure = "";

INSTANTIATE_TEST_SUITE_P(
    Rows, LogonTableTest,
    ::testing::Values(
        LogonCase{
            "Type0Plain", 0, 0, {{"USER u", "331 pw"}, {"PASS p", "230 in"}}, true, noFailure},
        LogonCase{
            "Type0UserAloneLogsOn", 0, 0, {{"USER u", "230 no password needed"}}, true, noFailure},
        LogonCase{"Type0AccountAfter332",
                  0,
                  0,
                  {{"USER u", "331 pw"}, {"PASS p", "332 account?"}, {"ACCT ", "230 in"}},
                  true,
                  noFailure},
        LogonCase{"Type0AccountAnsweredWith3xxFails",
                  0,
                  0,
                  {{"USER u", "331 pw"}, {"PASS p", "332 account?"}, {"ACCT ", "332 still?"}},
                  false,
                  "登录失败"},
        LogonCase{"Type0WrongPassword",
                  0,
                  0,
                  {{"USER u", "331 pw"}, {"PASS p", "530 Login incorrect."}},
                  false,
                  "530 Login incorrect."},
        LogonCase{"Type1FirewallThenSite",
                  1,
                  0,
                  {{"USER fu", "331 fw pw"},
                   {"PASS fp", "230 fw ok"},
                   {"SITE ftp.example.com", "331 connected"},
                   {"USER u", "331 pw"},
                   {"PASS p", "230 in"}},
                  true,
                  noFailure},
        LogonCase{"Type1SiteCarriesPort2121",
                  1,
                  2121,
                  {{"USER fu", "230 fw ok"},
                   {"SITE ftp.example.com:2121", "331 connected"},
                   {"USER u", "230 in"}},
                  true,
                  noFailure},
        LogonCase{"Type1Site2xxIsAnError",
                  1,
                  0,
                  {{"USER fu", "230 fw ok"}, {"SITE ftp.example.com", "200 ok"}},
                  false,
                  "登录失败"},
        LogonCase{"Type2UserAtHost",
                  2,
                  0,
                  {{"USER fu", "331 fw pw"},
                   {"PASS fp", "230 fw ok"},
                   {"USER u@ftp.example.com", "331 pw"},
                   {"PASS p", "230 in"}},
                  true,
                  noFailure},
        LogonCase{
            "Type3Open",
            3,
            0,
            {{"OPEN ftp.example.com", "220 connected"}, {"USER u", "331 pw"}, {"PASS p", "230 in"}},
            true,
            noFailure},
        LogonCase{"Type4FirewallThenPlain",
                  4,
                  0,
                  {{"USER fu", "331 fw pw"},
                   {"PASS fp", "230 fw ok"},
                   {"USER u", "331 pw"},
                   {"PASS p", "332 account?"},
                   {"ACCT ", "230 in"}},
                  true,
                  noFailure},
        LogonCase{"Type4FirewallPassword3xxIsAnError",
                  4,
                  0,
                  {{"USER fu", "331 fw pw"}, {"PASS fp", "331 again?"}},
                  false,
                  "登录失败"},
        LogonCase{"Type5UserAtHostWithoutFirewallLogon",
                  5,
                  0,
                  {{"USER u@ftp.example.com", "331 pw"}, {"PASS p", "230 in"}},
                  true,
                  noFailure},
        LogonCase{"Type6FirewallUserAtHost",
                  6,
                  0,
                  {{"USER fu@ftp.example.com", "331 fw pw"},
                   {"PASS fp", "230 fw ok"},
                   {"USER u", "331 pw"},
                   {"PASS p", "230 in"}},
                  true,
                  noFailure},
        LogonCase{"Type7UserAtHostAndFirewallUser",
                  7,
                  0,
                  {{"USER u@ftp.example.com fu", "331 pw"}, {"PASS p", "230 in"}},
                  true,
                  noFailure},
        LogonCase{"Type7Combined2xxIsAnError",
                  7,
                  0,
                  {{"USER u@ftp.example.com fu", "230 in already"}},
                  false,
                  "登录失败"},
        LogonCase{"Type8UserAtFirewallUserAtHost",
                  8,
                  0,
                  {{"USER u@fu@ftp.example.com", "331 pw"}, {"PASS p@fp", "230 in"}},
                  true,
                  noFailure}),
    caseName);

struct GreetingCase {
    const char* name;
    const char* greeting;
};

class GreetingRefusedTest : public FakeServerFixture,
                            public ::testing::WithParamInterface<GreetingCase> {};

TEST_P(GreetingRefusedTest, FailsWithoutSendingUser)
{
    const QByteArray greeting = GetParam().greeting;
    server.start([&greeting](FakeFtpSession& s) {
        s.send(greeting);
        s.expectClosed();
    });
    EXPECT_FALSE(client.Logon(fakeServerLogon(server)));
    EXPECT_EQ(client.replyLine, QString::fromLatin1(greeting));
    client.Disconnect();
    expectScriptDone();
    EXPECT_THAT(server.commands(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Classes, GreetingRefusedTest,
                         ::testing::Values(GreetingCase{"NotReadyYet120",
                                                        "120 Service ready in 5 minutes."},
                                           GreetingCase{"TooManyUsers421", "421 Too many users."},
                                           GreetingCase{"NotAllowed530", "530 Not allowed."}),
                         caseName);

struct ServerKindCase {
    const char* name;
    const char* greeting;
    int kind;
};

class ServerKindTest : public FakeServerFixture,
                       public ::testing::WithParamInterface<ServerKindCase> {};

TEST_P(ServerKindTest, ComesFromTheGreeting)
{
    const ServerKindCase& c = GetParam();
    server.start([&c](FakeFtpSession& s) {
        s.sendRaw(c.greeting);
        s.exchange("USER tester", "230 ok");
        s.answerFeat();
    });
    ASSERT_TRUE(client.Logon(fakeServerLogon(server))) << client.replyLine.toStdString();
    EXPECT_EQ(client.serverKind, c.kind);
    client.Disconnect();
    expectScriptDone();
}

INSTANTIATE_TEST_SUITE_P(
    Greetings, ServerKindTest,
    ::testing::Values(ServerKindCase{"Vsftpd", "220 (vsFTPd 3.0.3)\r\n", 0},
                      ServerKindCase{"Microsoft", "220 Microsoft FTP Service\r\n", 1},
                      ServerKindCase{"ServU", "220 Serv-U FTP Server v15.0 ready...\r\n", 2},
                      ServerKindCase{"ServUBehindAMicrosoftGatewayLine",
                                     "220-Microsoft gateway\r\n220 Serv-U behind it\r\n", 2}),
    caseName);

class LogonTest : public FakeServerFixture {};

TEST_F(LogonTest, LogonLogHoldsTheGreetingAndEveryLogonReply)
{
    server.start([](FakeFtpSession& s) {
        s.send("220-Welcome");
        s.send("220 ready");
        s.exchange("USER tester", "331 Please specify the password.");
        s.exchange("PASS secret", "230 Login successful.");
        s.answerFeat();
    });
    ASSERT_TRUE(client.Logon(fakeServerLogon(server)));
    EXPECT_EQ(client.logonLog, QStringLiteral("220-Welcome\r\n220 ready\r\n"
                                              "331 Please specify the password.\r\n"
                                              "230 Login successful.\r\n"));
    EXPECT_EQ(client.replyText, QStringLiteral("230 Login successful.\r\n"));
    EXPECT_EQ(client.replyClass, 2);
    EXPECT_EQ(client.host, server.address());
    EXPECT_EQ(client.port, server.port());
    EXPECT_EQ(client.user, QStringLiteral("tester"));
    EXPECT_EQ(client.password, QStringLiteral("secret"));
    expectScriptDone();
}

TEST_F(LogonTest, LogonTypeBeyondTheTableFailsWithoutConnecting)
{
    for (const int type : {9, -1, 1000}) {
        LogonInfo info = fakeServerLogon(server);
        info.logonType = type;
        client.replyLine = QStringLiteral("untouched");
        EXPECT_FALSE(client.Logon(info));
        EXPECT_EQ(client.replyLine, QStringLiteral("untouched"));
        EXPECT_FALSE(client.isConnected());
    }
}

// How the server answers FEAT decides the connection's codec for every later command.
struct CodecCase {
    const char* name;
    std::function<void(FakeFtpSession&)> answerFeat;
    TextCodec::Encoding encoding;
    QByteArray cwd; // "CWD 中文" as it must reach the server
};

class LogonCodecTest : public FakeServerFixture, public ::testing::WithParamInterface<CodecCase> {};

TEST_P(LogonCodecTest, FollowsTheFeatures)
{
    const CodecCase& c = GetParam();
    server.start([&c](FakeFtpSession& s) {
        s.send("220 ready");
        s.exchange("USER tester", "331 Please specify the password.");
        s.exchange("PASS secret", "230 Login successful.");
        c.answerFeat(s);
        s.exchange(c.cwd, "250 ok");
    });
    ASSERT_TRUE(client.Logon(fakeServerLogon(server))) << client.replyLine.toStdString();
    EXPECT_EQ(client.codec().encoding(), c.encoding);
    EXPECT_EQ(client.replyLine, QStringLiteral("230 Login successful."));
    EXPECT_TRUE(client.Command(QStringLiteral("CWD 中文")));
    EXPECT_EQ(client.replyLine, QStringLiteral("250 ok"));
    EXPECT_THAT(commandsAfterLogon(), ElementsAre(c.cwd));
    expectScriptDone();
}

const QByteArray cwdUtf8 = "CWD \xe4\xb8\xad\xe6\x96\x87";
const QByteArray cwdGbk = "CWD \xd6\xd0\xce\xc4";

INSTANTIATE_TEST_SUITE_P(Features, LogonCodecTest,
                         ::testing::Values(CodecCase{"ServerAnnouncingUtf8SwitchesToUtf8",
                                                     [](FakeFtpSession& s) { s.answerFeat(true); },
                                                     TextCodec::Encoding::Utf8, cwdUtf8},
                                           CodecCase{"RefusedOptsStillSwitchesToUtf8",
                                                     [](FakeFtpSession& s) {
                                                         s.answerFeat(true, "504 Unknown command.");
                                                     },
                                                     TextCodec::Encoding::Utf8, cwdUtf8},
                                           CodecCase{"WithoutUtf8TheConnectionSpeaksGbk",
                                                     [](FakeFtpSession& s) { s.answerFeat(false); },
                                                     TextCodec::Encoding::Gbk, cwdGbk},
                                           CodecCase{"RefusedFeatLeavesGbkAndTheLogonStands",
                                                     [](FakeFtpSession& s) {
                                                         s.exchange("FEAT", "500 Unknown command.");
                                                     },
                                                     TextCodec::Encoding::Gbk, cwdGbk}),
                         caseName);

TEST_F(LogonTest, ConnectionLostDuringFeatFailsTheLogon)
{
    server.start([](FakeFtpSession& s) {
        s.send("220 ready");
        s.exchange("USER tester", "230 ok");
        s.expect("FEAT");
    });
    EXPECT_FALSE(client.Logon(fakeServerLogon(server)));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    expectScriptDone();
}

TEST_F(LogonTest, SilentServerTimesOutWithNetworkError)
{
    client.setTimeout(std::chrono::milliseconds(200));
    server.start([](FakeFtpSession& s) { s.expectClosed(); });
    EXPECT_FALSE(client.Logon(fakeServerLogon(server)));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.Disconnect();
    expectScriptDone();
}

TEST_F(LogonTest, ANewLogonStartsOverInGbkWithAFreshLog)
{
    FakeFtpServer second;
    server.start([](FakeFtpSession& s) { greetAndLogOn(s, true); });
    second.start([](FakeFtpSession& s) {
        s.send("220 second");
        s.exchange("USER tester", "230 ok");
        s.answerFeat(false);
    });
    ASSERT_TRUE(client.Logon(fakeServerLogon(server)));
    ASSERT_EQ(client.codec().encoding(), TextCodec::Encoding::Utf8);
    ASSERT_TRUE(client.Logon(fakeServerLogon(second)));
    EXPECT_EQ(client.codec().encoding(), TextCodec::Encoding::Gbk);
    EXPECT_EQ(client.logonLog, QStringLiteral("220 second\r\n230 ok\r\n"));
    client.Disconnect();
    expectScriptDone();
    ASSERT_TRUE(second.finish());
    EXPECT_TRUE(second.succeeded());
}

// Logons with non-ASCII credentials: what each connection the client opens is answered. The
// last reply decides; a second connection means the logon went on in UTF-8.
struct RetryCase {
    const char* name;
    QString user;
    QString password;
    std::vector<std::vector<Exchange>> connections;
};

class LogonRetryTest : public FakeServerFixture, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(LogonRetryTest, TriesUtf8OnceOverANewConnectionAfterARefusal)
{
    const RetryCase& c = GetParam();
    const QString lastReply = QString::fromUtf8(c.connections.back().back().reply);
    const bool loggedOn = lastReply.startsWith(QStringLiteral("230"));
    std::vector<FakeFtpServer::Script> scripts;
    for (std::size_t i = 0; i < c.connections.size(); ++i) {
        const bool last = i + 1 == c.connections.size();
        scripts.push_back([&c, i, last, loggedOn](FakeFtpSession& s) {
            s.send("220 ready");
            for (const Exchange& step : c.connections[i])
                s.exchange(step.command, step.reply);
            if (last && loggedOn)
                s.answerFeat();
            else
                s.expectClosed();
        });
    }
    server.startEach(std::move(scripts));
    LogonInfo info = fakeServerLogon(server);
    info.user = c.user;
    info.password = c.password;
    EXPECT_EQ(client.Logon(info), loggedOn);
    EXPECT_EQ(client.replyLine, lastReply);
    if (loggedOn) {
        EXPECT_EQ(client.codec().encoding(),
                  c.connections.size() == 2 ? TextCodec::Encoding::Utf8 : TextCodec::Encoding::Gbk);
        EXPECT_TRUE(client.logonLog.startsWith(QStringLiteral("220 ready\r\n")));
        EXPECT_FALSE(client.logonLog.contains(QStringLiteral("530")));
    }
    client.Disconnect();
    expectScriptDone();
}

// "密码" is GBK "\xc3\xdc\xc2\xeb" and UTF-8 "\xe5\xaf\x86\xe7\xa0\x81".
const Exchange userTester{"USER tester", "331 Password required."};
const Exchange gbkPasswordRefused{"PASS \xc3\xdc\xc2\xeb", "530 Login incorrect."};
const Exchange utf8Password{"PASS \xe5\xaf\x86\xe7\xa0\x81", "230 Login successful."};

INSTANTIATE_TEST_SUITE_P(
    Cases, LogonRetryTest,
    ::testing::Values(RetryCase{"Utf8ServerTakesTheSecondTry",
                                QStringLiteral("tester"),
                                QStringLiteral("密码"),
                                {{userTester, gbkPasswordRefused}, {userTester, utf8Password}}},
                      RetryCase{"GbkServerLogsOnAtOnce",
                                QStringLiteral("tester"),
                                QStringLiteral("密码"),
                                {{userTester, {"PASS \xc3\xdc\xc2\xeb", "230 Login successful."}}}},
                      RetryCase{"NonAsciiUserIsRetriedToo",
                                QStringLiteral("用户"),
                                QStringLiteral("secret"),
                                {{{"USER \xd3\xc3\xbb\xa7", "530 Unknown user."}},
                                 {{"USER \xe7\x94\xa8\xe6\x88\xb7", "331 Password required."},
                                  {"PASS secret", "230 Login successful."}}}},
                      RetryCase{"WrongPasswordIsTriedOnlyTwice",
                                QStringLiteral("tester"),
                                QStringLiteral("密码"),
                                {{userTester, gbkPasswordRefused},
                                 {userTester,
                                  {"PASS \xe5\xaf\x86\xe7\xa0\x81", "530 Login incorrect."}}}},
                      RetryCase{"AsciiCredentialsAreNotRetried",
                                QStringLiteral("tester"),
                                QStringLiteral("wrong"),
                                {{userTester, {"PASS wrong", "530 Login incorrect."}}}}),
    caseName);

} // namespace
