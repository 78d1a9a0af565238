#include "accounts/AccountFile.h"
#include "accounts/AES.h"
#include "platform/TextCodec.h"
#include "support/NamedCases.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

// Readable failure messages for the matchers below.
static void PrintTo(const AccountRecord& record, std::ostream* out)
{
    *out << '{' << record.server.toStdString() << " | " << record.port.toStdString() << " | "
         << record.user.toStdString() << " | " << record.password.toStdString() << '}';
}

namespace {

using namedcases::operator<<;
using namedcases::caseName;

// Lets the tables mix plain literals with texts holding control characters.
struct Text {
    Text(const char* utf8) : value(QString::fromUtf8(utf8)) {}
    Text(const QString& text) : value(text) {}
    QString value;
};

AccountRecord account(const Text& server, const Text& port, const Text& user, const Text& password)
{
    AccountRecord record;
    record.server = server.value;
    record.port = port.value;
    record.user = user.value;
    record.password = password.value;
    return record;
}

QByteArray recordText(const char* server, const char* port, const char* user, const char* password)
{
    return QByteArray(server) + '\r' + port + '\r' + user + '\r' + password + "\r\n";
}

MATCHER_P4(IsAccount, server, port, user, password, "")
{
    return arg.server == QString::fromUtf8(server) && arg.port == QString::fromUtf8(port) &&
           arg.user == QString::fromUtf8(user) && arg.password == QString::fromUtf8(password);
}

class AccountFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    QString path() const { return folder_.filePath(QStringLiteral("list.dat")); }

    QByteArray fileBytes() const
    {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    void writeBytes(const QByteArray& bytes) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    void writeEnciphered(const QByteArray& text) const
    {
        AES cipher;
        writeBytes(cipher.EncryptText(text));
    }

    AccountWrite append(const Text& server, int port, const Text& user, const Text& password) const
    {
        return AppendAccount(server.value, port, user.value, password.value, path());
    }

    QByteArray decipheredFile() const { return AES().DecryptText(fileBytes()); }

    mode_t fileMode() const
    {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
        return info.st_mode & 0777;
    }

    QStringList folderEntries() const
    {
        return QDir(folder_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    QList<AccountRecord> walkSavedAccounts() const
    {
        QList<AccountRecord> records;
        AccountRecord record;
        qsizetype cursor = 0;
        for (int guard = 0; guard < 10000 && NextSavedAccount(path(), cursor, record); ++guard)
            records.append(record);
        return records;
    }

    QTemporaryDir folder_;
};

using testing::ElementsAre;

TEST_F(AccountFileTest, PathIsWorkPathFollowedByListDat)
{
    EXPECT_EQ(AccountListPath(QStringLiteral("/home/u/ftpwork/")),
              QStringLiteral("/home/u/ftpwork/list.dat"));
    EXPECT_EQ(AccountListPath(QStringLiteral("/home/u/ftpwork")),
              QStringLiteral("/home/u/ftpwork/list.dat"));
}

TEST_F(AccountFileTest, RewriteThenTwoAppendsDecipherToTheTextsJoined)
{
    ASSERT_EQ(RewriteAccountList(path(), {account("a.example", "21", "ann", "pa"),
                                          account("b.example", "2121", "bob", "pb")}),
              AccountWrite::Written);
    ASSERT_EQ(append("c.example", 990, "cy", "pc"), AccountWrite::Written);
    ASSERT_EQ(append("d.example", 21, "dee", "pd"), AccountWrite::Written);

    const QByteArray rewritten =
        recordText("a.example", "21", "ann", "pa") + recordText("b.example", "2121", "bob", "pb");
    const QByteArray firstAppend = recordText("c.example", "990", "cy", "pc");
    const QByteArray secondAppend = recordText("d.example", "21", "dee", "pd");
    AES cipher;
    QByteArray expected = cipher.EncryptText(rewritten);
    expected += cipher.EncryptText(firstAppend);
    expected += cipher.EncryptText(secondAppend);
    EXPECT_EQ(fileBytes(), expected) << "each write is a unit of its own after the others";
    EXPECT_EQ(decipheredFile(), rewritten + firstAppend + secondAppend);
    EXPECT_THAT(LoadAccountList(path()), ElementsAre(IsAccount("a.example", "21", "ann", "pa"),
                                                     IsAccount("b.example", "2121", "bob", "pb"),
                                                     IsAccount("c.example", "990", "cy", "pc"),
                                                     IsAccount("d.example", "21", "dee", "pd")));
}

TEST_F(AccountFileTest, RecordsAreNumberedInFileOrder)
{
    ASSERT_EQ(RewriteAccountList(path(), {account("a", "1", "u", "p"), account("b", "2", "u", "p"),
                                          account("c", "3", "u", "p")}),
              AccountWrite::Written);
    const QList<AccountRecord> records = LoadAccountList(path());
    ASSERT_EQ(records.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(records[i].number, i);
}

TEST_F(AccountFileTest, EmptyListRewritesToAZeroByteFile)
{
    ASSERT_EQ(append("old", 21, "u", "p"), AccountWrite::Written);
    ASSERT_EQ(RewriteAccountList(path(), {}), AccountWrite::Written);
    EXPECT_EQ(fileBytes().size(), 0);
    EXPECT_TRUE(LoadAccountList(path()).isEmpty());
    EXPECT_TRUE(walkSavedAccounts().isEmpty());
}

TEST_F(AccountFileTest, RecordOfFiveCharactersOrFewerIsNotWritten)
{
    ASSERT_EQ(RewriteAccountList(path(), {account("", "", "", "")}), AccountWrite::Written);
    EXPECT_EQ(fileBytes().size(), 0);
}

TEST_F(AccountFileTest, MissingFileLoadsAsNoAccounts)
{
    EXPECT_TRUE(LoadAccountList(path()).isEmpty());
    EXPECT_FALSE(QFile::exists(path())) << "loading does not create the file";
}

TEST_F(AccountFileTest, TextsAreStoredAsGbk)
{
    const QString server = QStringLiteral("服务器.例子");
    const QString user = QStringLiteral("用户");
    const QString password = QStringLiteral("密码");
    ASSERT_EQ(append(server, 21, user, password), AccountWrite::Written);
    const QByteArray expected = TextCodec::toGbk(server) + "\r21\r" + TextCodec::toGbk(user) +
                                '\r' + TextCodec::toGbk(password) + "\r\n";
    EXPECT_EQ(decipheredFile(), expected);
    const QList<AccountRecord> records = LoadAccountList(path());
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].server, server);
    EXPECT_EQ(records[0].user, user);
    EXPECT_EQ(records[0].password, password);
}

struct ParseCase {
    const char* name;
    QByteArray text;
    std::vector<std::array<const char*, 4>> records;
};

class AccountParseTest : public AccountFileTest, public testing::WithParamInterface<ParseCase> {};

TEST_P(AccountParseTest, LoadAndWalkFindTheSameRecords)
{
    writeEnciphered(GetParam().text);
    const QList<AccountRecord> loaded = LoadAccountList(path());
    const QList<AccountRecord> walked = walkSavedAccounts();
    ASSERT_EQ(loaded.size(), static_cast<qsizetype>(GetParam().records.size()));
    ASSERT_EQ(walked.size(), loaded.size());
    for (qsizetype i = 0; i < loaded.size(); ++i) {
        const auto& expected = GetParam().records[static_cast<size_t>(i)];
        EXPECT_THAT(loaded[i], IsAccount(expected[0], expected[1], expected[2], expected[3]));
        EXPECT_THAT(walked[i], IsAccount(expected[0], expected[1], expected[2], expected[3]));
    }
}

const ParseCase ParseCases[] = {
    // The blank line's characters never enter the next record's server field.
    {"OneBlankLineBetweenRecords",
     "a\r21\ru\rp\r\n\nb\r21\ru\rp\r\n",
     {{"a", "21", "u", "p"}, {"b", "21", "u", "p"}}},
    {"ExtraLineFeedsBetweenRecords",
     "a\r21\rua\rpa\r\n\n\nb\r22\rub\rpb\r\n",
     {{"a", "21", "ua", "pa"}, {"b", "22", "ub", "pb"}}},
    {"BlankLinesBeforeFirstRecord", "\n\n\nx\r1\ru\rp\r\n", {{"x", "1", "u", "p"}}},
    {"LineFeedInsideAnIncompleteRecordIsSkipped",
     "ho\nst\r21\ru\r\np\r\n",
     {{"host", "21", "u", "p"}}},
    {"FifthAndLaterFieldsAreDropped",
     "a\r21\ru\rp\rfifth\rsixth\r\nb\r1\rv\rq\r\n",
     {{"a", "21", "u", "p"}, {"b", "1", "v", "q"}}},
    {"RecordWithoutLineFeedIsIgnored", "a\r21\ru\rp\r\nb\r22\rv\rq\r", {{"a", "21", "u", "p"}}},
    {"TextWithoutLineFeedHasNoRecord", "a\r21\ru\rp\r", {}},
    {"EmptyFieldsMakeARecord", "\r\r\r\r\n", {{"", "", "", ""}}},
    // The port stays text; its number is what PortFromTextTest reads from it.
    {"NonNumericPortIsKeptAsText",
     "a\rftp\ru\rp\r\nb\r8021x\rv\rq\r\n",
     {{"a", "ftp", "u", "p"}, {"b", "8021x", "v", "q"}}},
};

INSTANTIATE_TEST_SUITE_P(Texts, AccountParseTest, testing::ValuesIn(ParseCases), caseName);

TEST_F(AccountFileTest, WalkLeavesTheCursorOnTheClosingLineFeed)
{
    const QByteArray text = "a\r21\ru\rp\r\n\nb\r22\rv\rq\r\n";
    writeEnciphered(text);
    AccountRecord record;
    qsizetype cursor = 0;
    ASSERT_TRUE(NextSavedAccount(path(), cursor, record));
    EXPECT_EQ(cursor, text.indexOf('\n'));
    ASSERT_TRUE(NextSavedAccount(path(), cursor, record));
    EXPECT_EQ(cursor, text.size() - 1);
    EXPECT_EQ(record.server, QStringLiteral("b"));
    EXPECT_FALSE(NextSavedAccount(path(), cursor, record));
}

TEST_F(AccountFileTest, WalkCreatesAMissingFileEmpty)
{
    AccountRecord record;
    qsizetype cursor = 0;
    EXPECT_FALSE(NextSavedAccount(path(), cursor, record));
    ASSERT_TRUE(QFile::exists(path()));
    EXPECT_EQ(fileBytes().size(), 0);
    EXPECT_EQ(fileMode(), 0600u);
}

TEST_F(AccountFileTest, PartialBlockAtTheEndIsIgnoredAndDroppedByTheNextAppend)
{
    ASSERT_EQ(RewriteAccountList(path(), {account("a", "21", "u", "p")}), AccountWrite::Written);
    const QByteArray whole = fileBytes();
    writeBytes(whole + "partial");
    EXPECT_THAT(LoadAccountList(path()), ElementsAre(IsAccount("a", "21", "u", "p")));
    EXPECT_EQ(walkSavedAccounts().size(), 1);

    ASSERT_EQ(append("b", 22, "v", "q"), AccountWrite::Written);
    EXPECT_EQ(fileBytes().size() % AES::BlockSize, 0);
    EXPECT_TRUE(fileBytes().startsWith(whole));
    EXPECT_THAT(LoadAccountList(path()),
                ElementsAre(IsAccount("a", "21", "u", "p"), IsAccount("b", "22", "v", "q")));
}

TEST_F(AccountFileTest, FileShorterThanABlockHasNoAccounts)
{
    writeBytes("0123456789");
    EXPECT_TRUE(LoadAccountList(path()).isEmpty());
    EXPECT_TRUE(walkSavedAccounts().isEmpty());
}

TEST_F(AccountFileTest, ArbitraryBytesLoadWithoutErrorAndAgreeWithTheWalk)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(16 * (1 + round % 9) + round % 5, '\0');
        for (char& b : bytes)
            b = static_cast<char>(byte(random));
        writeBytes(bytes);
        const QList<AccountRecord> loaded = LoadAccountList(path());
        const QList<AccountRecord> walked = walkSavedAccounts();
        ASSERT_EQ(loaded.size(), walked.size()) << "round " << round;
        for (qsizetype i = 0; i < loaded.size(); ++i)
            EXPECT_EQ(loaded[i].password, walked[i].password) << "round " << round;
    }
}

TEST_F(AccountFileTest, DamagedUnitDoesNotHideTheUnitsBeforeIt)
{
    ASSERT_EQ(append("a", 21, "u", "p"), AccountWrite::Written);
    const qsizetype firstUnit = fileBytes().size();
    ASSERT_EQ(append("b", 21, "v", "q"), AccountWrite::Written);
    QByteArray bytes = fileBytes();
    bytes[firstUnit] = static_cast<char>(bytes[firstUnit] ^ 0x5A);
    writeBytes(bytes);
    const QList<AccountRecord> records = LoadAccountList(path());
    ASSERT_FALSE(records.isEmpty());
    EXPECT_THAT(records[0], IsAccount("a", "21", "u", "p"));
}

TEST_F(AccountFileTest, FilesAreReadableAndWritableByTheOwnerOnly)
{
    ASSERT_EQ(append("a", 21, "u", "p"), AccountWrite::Written);
    EXPECT_EQ(fileMode(), 0600u) << "created by an append";

    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0644), 0);
    ASSERT_EQ(RewriteAccountList(path(), {account("b", "21", "u", "p")}), AccountWrite::Written);
    EXPECT_EQ(fileMode(), 0600u) << "replaced by a rewrite";

    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0664), 0);
    ASSERT_EQ(append("c", 21, "u", "p"), AccountWrite::Written);
    EXPECT_EQ(fileMode(), 0600u) << "replaced by an append";
}

struct UnstorableCase {
    const char* name;
    AccountRecord record;
};

class UnstorableAccountTest : public AccountFileTest,
                              public testing::WithParamInterface<UnstorableCase> {};

TEST_P(UnstorableAccountTest, AppendAndRewriteRefuseAndLeaveTheFileAlone)
{
    ASSERT_EQ(append("kept", 21, "u", "p"), AccountWrite::Written);
    const QByteArray before = fileBytes();
    const AccountRecord& bad = GetParam().record;
    if (bad.port == QStringLiteral("21")) {
        EXPECT_EQ(append(bad.server, 21, bad.user, bad.password), AccountWrite::Refused);
    }
    EXPECT_EQ(RewriteAccountList(path(), {account("other", "21", "u", "p"), bad}),
              AccountWrite::Refused);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("list.dat")});
}

const QString Nul(1, QChar(0));
const UnstorableCase UnstorableCases[] = {
    {"CarriageReturnInServer", account(QStringLiteral("a\rb"), "21", "u", "p")},
    {"LineFeedInServer", account(QStringLiteral("a\nb"), "21", "u", "p")},
    {"LineFeedInUser", account("a", "21", QStringLiteral("u\n"), "p")},
    {"CarriageReturnInPassword", account("a", "21", "u", QStringLiteral("\rp"))},
    {"NulInPassword", account("a", "21", "u", QStringLiteral("p") + Nul + QStringLiteral("q"))},
    {"NulInUser", account("a", "21", Nul, "p")},
    {"LineFeedInPortText", account("a", QStringLiteral("2\n1"), "u", "p")},
};

INSTANTIATE_TEST_SUITE_P(Fields, UnstorableAccountTest, testing::ValuesIn(UnstorableCases),
                         caseName);

TEST_F(AccountFileTest, RefusedAppendDoesNotCreateTheFile)
{
    EXPECT_EQ(append("a\nb", 21, "u", "p"), AccountWrite::Refused);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(AccountFileTest, WritesIntoAMissingFolderFail)
{
    const QString missing = folder_.filePath(QStringLiteral("no/such/list.dat"));
    EXPECT_EQ(
        AppendAccount(QStringLiteral("a"), 21, QStringLiteral("u"), QStringLiteral("p"), missing),
        AccountWrite::Failed);
    EXPECT_EQ(RewriteAccountList(missing, {account("a", "21", "u", "p")}), AccountWrite::Failed);
}

TEST_F(AccountFileTest, FailedReplaceLeavesNoTemporaryFileBehind)
{
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("list.dat")));
    EXPECT_EQ(RewriteAccountList(path(), {account("a", "21", "u", "p")}), AccountWrite::Failed);
    EXPECT_EQ(append("a", 21, "u", "p"), AccountWrite::Failed);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("list.dat")});
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

// Lowers the soft file-size limit so that writes past it fail with EFBIG (even for root), the
// closest stand-in for a disk that fills up or a crash in the middle of writing.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = nullptr;
    bool active_ = false;
};

QList<AccountRecord> manyAccounts(int count)
{
    QList<AccountRecord> records;
    for (int i = 0; i < count; ++i)
        records.append(account(QStringLiteral("host%1.example").arg(i), "21", "user", "secret"));
    return records;
}

TEST_F(AccountFileTest, InterruptedRewriteKeepsTheOldList)
{
    ASSERT_EQ(RewriteAccountList(path(), manyAccounts(3)), AccountWrite::Written);
    const QByteArray before = fileBytes();
    AccountWrite result = AccountWrite::Written;
    bool limited = false;
    {
        FileSizeLimit limit(1024);
        limited = limit.active();
        result = RewriteAccountList(path(), manyAccounts(100));
    }
    ASSERT_TRUE(limited);
    EXPECT_EQ(result, AccountWrite::Failed);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("list.dat")});
}

TEST_F(AccountFileTest, InterruptedAppendKeepsTheOldList)
{
    ASSERT_EQ(RewriteAccountList(path(), manyAccounts(20)), AccountWrite::Written);
    const QByteArray before = fileBytes();
    AccountWrite result = AccountWrite::Written;
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size() + 8));
        result = append("one-more.example", 21, "user", "secret");
    }
    EXPECT_EQ(result, AccountWrite::Failed);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(LoadAccountList(path()).size(), 20);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("list.dat")});
}

struct PortText {
    const char* name;
    const char* text;
    int number;
};

class PortFromTextTest : public testing::TestWithParam<PortText> {};

TEST_P(PortFromTextTest, TakesTheLeadingDigits)
{
    EXPECT_EQ(AccountRecord::portFromText(QString::fromUtf8(GetParam().text)), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PortFromTextTest,
    testing::Values(PortText{"Digits", "21", 21}, PortText{"LeadingBlank", " 2121", 2121},
                    PortText{"DigitsThenLetter", "8021x", 8021}, PortText{"Letters", "ftp", 0},
                    PortText{"Empty", "", 0}, PortText{"PlusSign", "+990", 990},
                    PortText{"MinusSign", "-5", -5}, PortText{"LetterThenDigits", "x21", 0},
                    PortText{"TooLargeStopsAtIntMax", "99999999999999999999", INT_MAX}),
    caseName);

} // namespace
