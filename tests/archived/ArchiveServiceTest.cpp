#include "archive/ZipWriter.h"
#include "archived/ArchivedFixture.h"
#include "archived/RawZip.h"
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
        ReplyCase{"DotDotRefused", 'A', "/pub/../../outside", "CFWHY:NOTFOUND\r", "", ""},
        ReplyCase{"LinkOutsideRefused", 'A', "/pub/out", "CFWHY:NOTFOUND\r", "", ""},
        ReplyCase{"ThroughALinkRefused", 'A', "/pub/out/secret.txt", "CFWHY:NOTFOUND\r", "", ""},
        ReplyCase{"MissingFile", 'A', "/pub/none", "CFWHY:NOTFOUND\r", "", ""},
        ReplyCase{"ExtractOfNoArchive", 'X', "/pub/a.txt", "CFWHY:NOTZIP\r", "", ""}),
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
    const std::pair<QString, QByteArray> hostiles[] = {
        {QStringLiteral("../evil"), "CFWHY:UNSAFE\r"},
        {QStringLiteral("out/evil"), "CFWHY:CONFLICT\r"}};
    for (const auto& [hostile, reply] : hostiles) {
        {
            ZipWriter zip(pub(QStringLiteral("bad.zip")));
            ASSERT_TRUE(zip.addFile(QStringLiteral("fine.txt"), pub(QStringLiteral("a.txt"))));
            ASSERT_TRUE(zip.addFile(hostile, pub(QStringLiteral("a.txt"))));
        }
        EXPECT_EQ(exchange(request('X', "/pub/bad.zip")), reply) << hostile.toStdString();
        EXPECT_FALSE(QFileInfo::exists(pub(QStringLiteral("fine.txt"))));
        EXPECT_FALSE(QFileInfo::exists(folder_.filePath(QStringLiteral("root/evil"))));
        EXPECT_FALSE(QFileInfo::exists(outside() + QStringLiteral("/evil")));
    }
}

// Idle connections from one address are held only for the request time-out, beyond the limit
// per peer they are told "busy" at once, and meanwhile a request from elsewhere is served.
TEST_F(ArchivedFixture, IdleConnectionsDoNotLockOthersOut)
{
    std::vector<TcpSocket> idle(100);
    for (TcpSocket& socket : idle) {
        ASSERT_TRUE(socket.connect(QStringLiteral("127.0.0.1"), port(), std::chrono::seconds(5),
                                   QStringLiteral("127.0.0.2")));
    }
    EXPECT_EQ(exchange(request('A', "/pub/a.txt")), "CS");
    QList<QByteArray> answers;
    for (TcpSocket& socket : idle)
        answers.append(readUntilClosed(socket));
    EXPECT_EQ(answers.count("O"), 96);
    EXPECT_EQ(answers.count(QByteArray()), 4);
}

// A link swapped in for a folder and a file while a large first entry is written: the links are
// neither followed nor replaced, and nothing of the archive is left.
TEST_F(ArchivedFixture, LinksSwappedInDuringExtractionWriteNothingOutside)
{
    ASSERT_TRUE(
        rawzip::write(pub(QStringLiteral("race.zip")), {{"big.bin", true, {}, 96 << 20},
                                                        {"d/x.txt", true, "inside", 0},
                                                        {"secret.txt", true, "inside", 0}}));
    TcpSocket socket;
    ASSERT_TRUE(socket.connect(QStringLiteral("127.0.0.1"), port(), std::chrono::seconds(5)));
    const QByteArray bytes = request('X', "/pub/race.zip");
    socket.sendAll(bytes.constData(), bytes.size(), std::chrono::seconds(5));
    char first = 0;
    ASSERT_EQ(socket.receive(&first, 1, std::chrono::seconds(5)), 1);
    ASSERT_EQ(first, 'C');
    ASSERT_TRUE(QFile::link(outside(), pub(QStringLiteral("d"))));
    ASSERT_TRUE(
        QFile::link(outside() + QStringLiteral("/secret.txt"), pub(QStringLiteral("secret.txt"))));

    EXPECT_EQ(readUntilClosed(socket), "FWHY:CONFLICT\r");
    EXPECT_EQ(QDir(outside()).entryList(QDir::Files), QStringList{QStringLiteral("secret.txt")});
    EXPECT_EQ(filebytes::read(outside() + QStringLiteral("/secret.txt")), "secret");
    EXPECT_EQ(QDir(pub(QString()))
                  .entryList({QStringLiteral("big.bin"), QStringLiteral(".kevra*")},
                             QDir::AllEntries | QDir::Hidden),
              QStringList());
}

struct NameCase {
    const char* name;
    std::vector<rawzip::Entry> entries;
    QByteArray reply;
    const char* written; // '|'-separated names expected in pub, with the contents "gbk" or "utf8"
};

class ArchivedEntryNames : public ArchivedFixture,
                           public ::testing::WithParamInterface<NameCase> {};

TEST_P(ArchivedEntryNames, FollowTheUtf8Flag)
{
    const NameCase& row = GetParam();
    ASSERT_TRUE(rawzip::write(pub(QStringLiteral("names.zip")), row.entries));
    EXPECT_EQ(exchange(request('X', "/pub/names.zip")), row.reply);
    QStringList written;
    for (const QString& name : QDir(pub(QString())).entryList({QStringLiteral("*.txt")}))
        written.append(name + u'=' + QString::fromUtf8(filebytes::read(pub(name))));
    EXPECT_EQ(written.join(u'|'), QString::fromUtf8(row.written));
}

// "啊阿.txt" and "埃挨.txt" in GBK, and "啊.txt" in GBK and in UTF-8.
INSTANTIATE_TEST_SUITE_P(
    Names, ArchivedEntryNames,
    ::testing::Values(NameCase{"GbkWithoutTheFlag",
                               {{"\xb0\xa1\xb0\xa2.txt", false, "gbk1"},
                                {"\xb0\xa3\xb0\xa4.txt", false, "gbk2"},
                                {"\xe5\x90\x8d.txt", true, "utf8"}},
                               "CS",
                               "a.txt=alpha|b.txt=beta|名.txt=utf8|啊阿.txt=gbk1|埃挨.txt=gbk2"},
                      NameCase{"TwoEntriesOneName",
                               {{"\xb0\xa1.txt", false, "gbk"}, {"\xe5\x95\x8a.txt", true, "utf8"}},
                               "CFWHY:CLASH\r",
                               "a.txt=alpha|b.txt=beta"},
                      NameCase{"NotGbkAtAll",
                               {{"\xff\xfe.txt", false, "x"}},
                               "CFWHY:UNSAFE\r",
                               "a.txt=alpha|b.txt=beta"}),
    caseName);

// Every byte a client sends into the log is shown, never acted on: no forged line.
TEST_F(ArchivedFixture, ClientTextCannotForgeLogLines)
{
    exchange(message(QStringLiteral("x\n2026-01-01 127.0.0.1 user=alice A /pub -> CS"),
                     QStringLiteral("1"), 'A', {QStringLiteral("/pub/\x1b[2Ka.txt")}));
    const QStringList lines = loggedLines();
    ASSERT_EQ(lines.size(), 1) << lines.join(u'|').toStdString();
    EXPECT_FALSE(lines.first().contains(u'\n'));
    EXPECT_TRUE(lines.first().contains(QStringLiteral("user=x\\x0a2026")));
    EXPECT_TRUE(lines.first().contains(QStringLiteral("/pub/\\x1b[2Ka.txt")));
}

struct DiskCase {
    const char* name;
    const char* mountOptions;
    int entries;
    quint64 entrySize; // 0: the free space of the disk
};

class ArchivedSmallDisk : public ArchivedFixture, public ::testing::WithParamInterface<DiskCase> {};

// Refused before anything is written: the disk keeps all the room it had.
TEST_P(ArchivedSmallDisk, RefusesWhatWouldFillIt)
{
    const DiskCase& row = GetParam();
    if (!mountSmallDisk(row.mountOptions))
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN)";
    const quint64 size = row.entrySize ? row.entrySize : freeDiskBlocks() * 4096;
    std::vector<rawzip::Entry> entries;
    for (int entry = 0; entry < row.entries; ++entry)
        entries.push_back({"e" + QByteArray::number(entry), true, QByteArray(), size});
    ASSERT_TRUE(rawzip::write(pub(QStringLiteral("disk/x.zip")), entries));
    const quint64 before = freeDiskBlocks();
    EXPECT_EQ(exchange(request('X', "/pub/disk/x.zip")), "CFWHY:NOSPACE\r");
    EXPECT_EQ(freeDiskBlocks(), before);
    EXPECT_EQ(QDir(disk_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("x.zip")});
}

INSTANTIATE_TEST_SUITE_P(Disks, ArchivedSmallDisk,
                         ::testing::Values(DiskCase{"OneEntryOfAllTheFreeSpace", "size=64m", 1, 0},
                                           DiskCase{"ManyOneByteFiles", "size=64m", 20000, 1},
                                           DiskCase{"MoreFilesThanInodes", "size=64m,nr_inodes=400",
                                                    1000, 1}),
                         caseName);

// Two requests at once, each for 60 % of the disk: one is served, the other refused and gone.
TEST_F(ArchivedFixture, ConcurrentExtractionsShareTheDisk)
{
    if (!mountSmallDisk("size=64m"))
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN)";
    const quint64 size = freeDiskBlocks() * 4096 * 6 / 10;
    ASSERT_TRUE(rawzip::write(pub(QStringLiteral("disk/one.zip")), {{"one.bin", true, {}, size}}));
    ASSERT_TRUE(rawzip::write(pub(QStringLiteral("disk/two.zip")), {{"two.bin", true, {}, size}}));
    std::vector<TcpSocket> sockets(2);
    for (int i = 0; i < 2; ++i) {
        const QByteArray bytes = request('X', i == 0 ? "/pub/disk/one.zip" : "/pub/disk/two.zip");
        ASSERT_TRUE(
            sockets[i].connect(QStringLiteral("127.0.0.1"), port(), std::chrono::seconds(5)));
        sockets[i].sendAll(bytes.constData(), bytes.size(), std::chrono::seconds(5));
    }
    const QList<QByteArray> replies{readUntilClosed(sockets[0]), readUntilClosed(sockets[1])};
    EXPECT_EQ(replies.count("CS"), 1);
    EXPECT_EQ(replies.count("CFWHY:NOSPACE\r"), 1);
    EXPECT_EQ(QDir(disk_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              3);
    EXPECT_GT(freeDiskBlocks(), 0u);
}

} // namespace
