#include "archive/ZipWriter.h"
#include "archived/ArchivedFixture.h"
#include "support/FileBytes.h"
#include "support/NamedCases.h"

#include <QFileInfo>

using namedcases::caseName;
using namedcases::operator<<;

namespace {

struct ReplyCase {
    const char* name;
    char mode;
    const char* paths; // separated by '|'
    QByteArray replies;
    const char* archive; // relative to pub, empty when none must appear
    const char* entries; // sorted, separated by '|'
};

class ArchivedReplies : public ArchivedFixture, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ArchivedReplies, AnswersAndWritesTheArchive)
{
    const ReplyCase& row = GetParam();
    EXPECT_EQ(exchange(request(row.mode, row.paths)), row.replies);
    if (*row.archive) {
        EXPECT_EQ(ziplisting::entries(pub(QString::fromUtf8(row.archive))).join(u'|'),
                  QString::fromUtf8(row.entries));
    }
    EXPECT_FALSE(QFileInfo::exists(pub(QStringLiteral("out.zip"))));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ArchivedReplies,
    ::testing::Values(
        ReplyCase{"TwoFiles", 'A', "/pub/a.txt|/pub/b.txt", "CS", "a.txt.zip", "a.txt|b.txt"},
        ReplyCase{"FolderTree", 'A', "/pub/docs", "CS", "docs.zip",
                  "docs/|docs/a.txt|docs/img/|docs/img/b.png"},
        ReplyCase{"RelativePathInsideRoot", 'A', "pub/b.txt", "CS", "b.txt.zip", "b.txt"},
        ReplyCase{"DotDotRefused", 'A', "/pub/../../outside", "CF", "", ""},
        ReplyCase{"LinkOutsideRefused", 'A', "/pub/out", "CF", "", ""},
        ReplyCase{"MissingFile", 'A', "/pub/none", "CF", "", ""},
        ReplyCase{"ExtractOfNoArchive", 'X', "/pub/a.txt", "CF", "", ""}),
    caseName);

TEST_F(ArchivedFixture, StrangersAndMalformedRequestsAreRefused)
{
    const QStringList a{QStringLiteral("/pub/a.txt")};
    EXPECT_EQ(exchange(message(QStringLiteral("mallory"), QStringLiteral("740316"), 'A', a)), "UE");
    EXPECT_EQ(exchange(message(QStringLiteral("alice"), QStringLiteral("123456"), 'A', a)), "PE");
    EXPECT_EQ(exchange(message(QStringLiteral("anonymous"), QStringLiteral("740316"), 'A', a)),
              "CS");
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
    EXPECT_EQ(exchange(request('X', "/pub/x.zip")), "CS");
    EXPECT_EQ(filebytes::read(pub(QStringLiteral("d/n.txt"))), "beta");
    EXPECT_EQ(filebytes::read(pub(QStringLiteral("a.txt"))), "beta");
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
        EXPECT_EQ(exchange(request('X', "/pub/bad.zip")), "CF") << hostile.toStdString();
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
    EXPECT_EQ(exchange(request('A', "/pub/a.txt")), "CS");
    TcpSocket second;
    ASSERT_TRUE(second.connect(QStringLiteral("127.0.0.1"), port(), std::chrono::seconds(5)));
    EXPECT_EQ(exchange(request('A', "/pub/a.txt")), "O");
    EXPECT_EQ(readUntilClosed(silent), QByteArray());
}

} // namespace
