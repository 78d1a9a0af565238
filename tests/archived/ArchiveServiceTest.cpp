#include "archive/ZipWriter.h"
#include "archived/ArchivedFixture.h"
#include "support/NamedCases.h"

#include <QFileInfo>

using namedcases::caseName;
using namedcases::operator<<;

namespace {

struct ReplyCase {
    const char* name;
    const char* user;
    const char* password;
    char mode;
    QStringList paths;
    QByteArray replies;
    QString archive;     // relative to pub, empty when none must appear
    QStringList entries; // sorted
};

class ArchivedReplies : public ArchivedFixture, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ArchivedReplies, AnswersAndWritesTheArchive)
{
    const ReplyCase& row = GetParam();
    const QByteArray sent =
        message(QString::fromUtf8(row.user), QString::fromUtf8(row.password), row.mode, row.paths);
    EXPECT_EQ(exchange(sent), row.replies);
    if (!row.archive.isEmpty()) {
        EXPECT_EQ(zipEntries(pub(row.archive)), row.entries);
    }
    EXPECT_FALSE(QFileInfo::exists(pub(QStringLiteral("out.zip"))));
}

const QString a = QStringLiteral("/pub/a.txt");
const QString b = QStringLiteral("/pub/b.txt");

INSTANTIATE_TEST_SUITE_P(
    Requests, ArchivedReplies,
    ::testing::Values(
        ReplyCase{"UnknownUser", "mallory", "740316", 'A', {a}, "UE", {}, {}},
        ReplyCase{"WrongPassword", "alice", "123456", 'A', {a}, "PE", {}, {}},
        ReplyCase{"TwoFiles",
                  "alice",
                  "740316",
                  'A',
                  {a, b},
                  "CS",
                  QStringLiteral("a.txt.zip"),
                  {QStringLiteral("a.txt"), QStringLiteral("b.txt")}},
        ReplyCase{"FolderTree",
                  "anonymous",
                  "740316",
                  'A',
                  {QStringLiteral("/pub/docs")},
                  "CS",
                  QStringLiteral("docs.zip"),
                  {QStringLiteral("docs/"), QStringLiteral("docs/a.txt"),
                   QStringLiteral("docs/img/"), QStringLiteral("docs/img/b.png")}},
        ReplyCase{"RelativePathInsideRoot",
                  "alice",
                  "740316",
                  'A',
                  {QStringLiteral("pub/b.txt")},
                  "CS",
                  QStringLiteral("b.txt.zip"),
                  {QStringLiteral("b.txt")}},
        ReplyCase{"DotDotRefused",
                  "alice",
                  "740316",
                  'A',
                  {QStringLiteral("/pub/../../outside")},
                  "CF",
                  {},
                  {}},
        ReplyCase{"LinkOutsideRefused",
                  "alice",
                  "740316",
                  'A',
                  {QStringLiteral("/pub/out")},
                  "CF",
                  {},
                  {}},
        ReplyCase{
            "MissingFile", "alice", "740316", 'A', {QStringLiteral("/pub/none")}, "CF", {}, {}},
        ReplyCase{"ExtractOfNoArchive", "alice", "740316", 'X', {a}, "CF", {}, {}}),
    caseName);

TEST_F(ArchivedFixture, MalformedRequestIsRefused)
{
    EXPECT_EQ(exchange("HELLO\r"), "F");
    EXPECT_EQ(exchange("UID:alice\rPASS:740316\rQ\r/pub/a.txt\r"), "F");
}

TEST_F(ArchivedFixture, ExtractsInPlaceOverwriting)
{
    {
        ZipWriter zip(pub(QStringLiteral("x.zip")));
        ASSERT_TRUE(zip.addFolder(QStringLiteral("d/")));
        ASSERT_TRUE(zip.addFile(QStringLiteral("d/n.txt"), pub(QStringLiteral("b.txt"))));
        ASSERT_TRUE(zip.addFile(QStringLiteral("a.txt"), pub(QStringLiteral("b.txt"))));
    }
    const QByteArray sent = message(QStringLiteral("alice"), QStringLiteral("740316"), 'X',
                                    {QStringLiteral("/pub/x.zip")});
    EXPECT_EQ(exchange(sent), "CS");
    EXPECT_EQ(read(pub(QStringLiteral("d/n.txt"))), "beta");
    EXPECT_EQ(read(pub(QStringLiteral("a.txt"))), "beta");
}

// A hostile archive is refused as a whole: not even its harmless entries are written.
TEST_F(ArchivedFixture, ZipSlipWritesNothing)
{
    for (const QString& hostile : {QStringLiteral("../evil"), QStringLiteral("out/evil")}) {
        {
            ZipWriter zip(pub(QStringLiteral("bad.zip")));
            ASSERT_TRUE(zip.addFile(QStringLiteral("fine.txt"), pub(QStringLiteral("a.txt"))));
            ASSERT_TRUE(zip.addFile(hostile, pub(QStringLiteral("a.txt"))));
        }
        const QByteArray sent = message(QStringLiteral("alice"), QStringLiteral("740316"), 'X',
                                        {QStringLiteral("/pub/bad.zip")});
        EXPECT_EQ(exchange(sent), "CF") << hostile.toStdString();
        EXPECT_FALSE(QFileInfo::exists(pub(QStringLiteral("fine.txt"))));
        EXPECT_FALSE(QFileInfo::exists(folder_.filePath(QStringLiteral("root/evil"))));
        EXPECT_FALSE(QFileInfo::exists(outside() + QStringLiteral("/evil")));
    }
}

// A client that sends nothing holds its connection only for the request time-out, and meanwhile
// others are served; beyond the limit of clients at once the answer is "O".
TEST_F(ArchivedFixture, SilentClientDoesNotBlockOthers)
{
    stopService();
    startService(2);
    TcpSocket silent;
    ASSERT_TRUE(silent.connect(QStringLiteral("127.0.0.1"), port(), std::chrono::seconds(5)));
    const QByteArray sent = message(QStringLiteral("alice"), QStringLiteral("740316"), 'A',
                                    {QStringLiteral("/pub/a.txt")});
    EXPECT_EQ(exchange(sent), "CS");
    TcpSocket second;
    ASSERT_TRUE(second.connect(QStringLiteral("127.0.0.1"), port(), std::chrono::seconds(5)));
    EXPECT_EQ(exchange(sent), "O");
    EXPECT_EQ(readUntilClosed(silent), QByteArray());
}

} // namespace
