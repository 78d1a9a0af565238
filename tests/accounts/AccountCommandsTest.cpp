#include "accounts/AccountCommands.h"
#include "accounts/AccountFile.h"
#include "support/NamedCases.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

class AccountCommandsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    QString path() const { return AccountListPath(folder_.path() + u'/'); }

    AccountSaveOutcome save(const char* host, int port, const char* user, const char* password,
                            bool connected = true) const
    {
        return SaveAccountUnlessKnown(path(), connected, text(host), port, text(user),
                                      text(password));
    }

    AccountSaveOutcome add(const char* server, int port, const char* user,
                           const char* password) const
    {
        return AddAccount(path(), text(server), port, text(user), text(password));
    }

    qsizetype savedCount() const { return LoadAccountList(path()).size(); }

    QTemporaryDir folder_;
};

// The scheme chooses TLS, so it is stored with the server as typed: an account with and one
// without it are two accounts, and a bare server stays bare for older builds to read.
TEST_F(AccountCommandsTest, TheSchemeStaysWithTheServer)
{
    EXPECT_EQ(save("ftpes://example.com", 990, "ann", "secret"), AccountSaveOutcome::Saved);
    EXPECT_EQ(save("example.com", 21, "ann", "secret"), AccountSaveOutcome::Saved);
    EXPECT_EQ(save("ftpes://example.com", 990, "ann", "secret"), AccountSaveOutcome::AlreadySaved);
    EXPECT_EQ(add("ftp://[::1]", 2121, "bob", "pw"), AccountSaveOutcome::Saved);
    QStringList servers;
    for (const AccountRecord& record : LoadAccountList(path()))
        servers << record.server + u'|' + record.port;
    EXPECT_EQ(servers, (QStringList{text("ftpes://example.com|990"), text("example.com|21"),
                                    text("ftp://[::1]|2121")}));
}

TEST_F(AccountCommandsTest, SaveStoresAnAccountOnce)
{
    EXPECT_EQ(save("ftp.example", 21, "ann", "secret"), AccountSaveOutcome::Saved);
    EXPECT_EQ(save("ftp.example", 21, "ann", "secret"), AccountSaveOutcome::AlreadySaved);
    const QList<AccountRecord> records = LoadAccountList(path());
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].server, text("ftp.example"));
    EXPECT_EQ(records[0].port, text("21"));
}

TEST_F(AccountCommandsTest, SaveIgnoresThePortWhenLookingForTheAccount)
{
    ASSERT_EQ(save("ftp.example", 21, "ann", "secret"), AccountSaveOutcome::Saved);
    EXPECT_EQ(save("ftp.example", 2121, "ann", "secret"), AccountSaveOutcome::AlreadySaved);
    EXPECT_EQ(savedCount(), 1);
}

TEST_F(AccountCommandsTest, SaveFindsAnAccountBehindOthers)
{
    ASSERT_EQ(add("one.example", 21, "u1", "p1"), AccountSaveOutcome::Saved);
    ASSERT_EQ(add("two.example", 21, "u2", "p2"), AccountSaveOutcome::Saved);
    ASSERT_EQ(add("three.example", 21, "u3", "p3"), AccountSaveOutcome::Saved);
    EXPECT_EQ(save("three.example", 990, "u3", "p3"), AccountSaveOutcome::AlreadySaved);
    EXPECT_EQ(savedCount(), 3);
}

struct Variant {
    const char* name;
    const char* host;
    const char* user;
    const char* password;
};

class SaveVariantTest : public AccountCommandsTest, public testing::WithParamInterface<Variant> {};

TEST_P(SaveVariantTest, ComparesServerUserAndPasswordExactly)
{
    ASSERT_EQ(save("ftp.example", 21, "ann", "secret"), AccountSaveOutcome::Saved);
    EXPECT_EQ(save(GetParam().host, 21, GetParam().user, GetParam().password),
              AccountSaveOutcome::Saved);
    EXPECT_EQ(savedCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Differences, SaveVariantTest,
                         testing::Values(Variant{"OtherHost", "ftp2.example", "ann", "secret"},
                                         Variant{"HostCase", "FTP.example", "ann", "secret"},
                                         Variant{"UserCase", "ftp.example", "Ann", "secret"},
                                         Variant{"OtherPassword", "ftp.example", "ann", "secret2"},
                                         Variant{"TrailingBlank", "ftp.example ", "ann", "secret"}),
                         caseName);

TEST_F(AccountCommandsTest, SaveWhenNotConnectedSaysSoEvenWithAllFieldsFilled)
{
    EXPECT_EQ(save("ftp.example", 21, "ann", "secret", false), AccountSaveOutcome::NotConnected);
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(SaveAccountMessage(AccountSaveOutcome::NotConnected), text("请先连接至服务器"));
}

TEST_F(AccountCommandsTest, SaveWithAnEmptyFieldDoesNothing)
{
    EXPECT_EQ(save("", 21, "ann", "secret"), AccountSaveOutcome::Incomplete);
    EXPECT_EQ(save("ftp.example", 21, "", "secret"), AccountSaveOutcome::Incomplete);
    EXPECT_EQ(save("ftp.example", 21, "ann", ""), AccountSaveOutcome::Incomplete);
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_TRUE(SaveAccountMessage(AccountSaveOutcome::Incomplete).isEmpty());
}

TEST_F(AccountCommandsTest, AccountsWithLineBreaksAreRefused)
{
    EXPECT_EQ(save("ftp.example", 21, "ann", "sec\nret"), AccountSaveOutcome::Unstorable);
    EXPECT_EQ(add("ftp\r.example", 21, "ann", "secret"), AccountSaveOutcome::Unstorable);
    EXPECT_EQ(savedCount(), 0);
}

TEST_F(AccountCommandsTest, AddAppendsEvenAnAccountAlreadySaved)
{
    EXPECT_EQ(add("ftp.example", 21, "ann", "secret"), AccountSaveOutcome::Saved);
    EXPECT_EQ(add("ftp.example", 21, "ann", "secret"), AccountSaveOutcome::Saved);
    EXPECT_EQ(savedCount(), 2);
}

TEST_F(AccountCommandsTest, WritesThatCannotHappenReportFailure)
{
    const QString missing = folder_.filePath(QStringLiteral("gone/list.dat"));
    EXPECT_EQ(AddAccount(missing, text("h"), 21, text("u"), text("p")), AccountSaveOutcome::Failed);
    EXPECT_EQ(SaveAccountUnlessKnown(missing, true, text("h"), 21, text("u"), text("p")),
              AccountSaveOutcome::Failed);
}

struct Message {
    const char* name;
    AccountSaveOutcome outcome;
    const char* save;
    const char* add;
};

class AccountMessageTest : public testing::TestWithParam<Message> {};

TEST_P(AccountMessageTest, EachOutcomeHasItsText)
{
    EXPECT_EQ(SaveAccountMessage(GetParam().outcome), text(GetParam().save));
    EXPECT_EQ(AddAccountMessage(GetParam().outcome), text(GetParam().add));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, AccountMessageTest,
    testing::Values(
        Message{"Saved", AccountSaveOutcome::Saved, "已保存至服务器列表", "添加新账号成功"},
        Message{"AlreadySaved", AccountSaveOutcome::AlreadySaved, "已保存过此账号", ""},
        Message{"NotConnected", AccountSaveOutcome::NotConnected, "请先连接至服务器", ""},
        Message{"Incomplete", AccountSaveOutcome::Incomplete, "", ""},
        Message{"Unstorable", AccountSaveOutcome::Unstorable,
                "服务器、用户名和密码不能包含换行符或空字符",
                "服务器、用户名和密码不能包含换行符或空字符"},
        Message{"Failed", AccountSaveOutcome::Failed, "添加失败", "添加失败"}),
    caseName);

} // namespace
