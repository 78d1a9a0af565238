#include "listing/CListItem.h"
#include "listing/FormatSize.h"
#include "platform/TextCodec.h"
#include "support/NamedCases.h"

#include <QFile>
#include <QMap>
#include <QStringList>

#include <iterator>

#include <gtest/gtest.h>

// LIST output captured byte for byte from real servers by scripts/capture-listings.sh, over one
// prepared folder; list-iis.txt is written by hand in IIS's column layout (no IIS here).

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QByteArray readData(const char* file)
{
    QFile data(QStringLiteral(KEVRA_SOURCE_DIR "/tests/listing/data/") + QLatin1String(file));
    if (!data.open(QIODevice::ReadOnly))
        return {};
    return data.readAll();
}

// Cut as the engine hands lines out: at LF, without the CR before it.
QList<QByteArray> splitLines(const QByteArray& data)
{
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

enum class Kind { File, Folder, Link };

struct TreeEntry {
    const char* name; // UTF-8
    Kind kind;
    quint64 bytes;
    const char* size;
    bool old; // dated 2013, so shown with a year
};

// The folder the capture script serves.
const TreeEntry tree[] = {
    {" leading space dir", Kind::Folder, 0, "", false},
    {" leading space.txt", Kind::File, 2, "2", false},
    {"arrow -> inside.txt", Kind::File, 2, "2", false},
    {"at 12:00 noon.txt", Kind::File, 2, "2", false},
    {"b1023.bin", Kind::File, 1023, "1023", false},
    {"b1024.bin", Kind::File, 1024, "1.00KB", false},
    {"big.iso", Kind::File, 5368709120, "5.00GB", false},
    {"dirlink", Kind::Link, 6, "6", true},
    {"empty.txt", Kind::File, 0, "0", false},
    {"folder", Kind::Folder, 0, "", false},
    {"folder with spaces", Kind::Folder, 0, "", false},
    {"link with spaces", Kind::Link, 18, "18", false},
    {"link.bin", Kind::Link, 9, "9", false},
    {"mib1.bin", Kind::File, 1048576, "1.00MB", false},
    {"name with  two spaces.txt", Kind::File, 2, "2", false},
    {"old.txt", Kind::File, 4, "4", true},
    {"trailing space.txt ", Kind::File, 2, "2", false},
    {"中文文件.txt", Kind::File, 2, "2", false},
    {"中文目录", Kind::Folder, 0, "", false},
};

const char* permissionsOf(Kind kind)
{
    switch (kind) {
    case Kind::Folder:
        return "rwxr-xr-x";
    case Kind::Link:
        return "rwxrwxrwx";
    case Kind::File:
        break;
    }
    return "rw-r--r--";
}

struct ServerCapture {
    const char* name;
    const char* file;
    const char* recentDate;
    const char* oldDate;
};

QMap<QString, CListItem> parseAll(const QList<QByteArray>& lines)
{
    QMap<QString, CListItem> items;
    for (const QByteArray& line : lines) {
        CListItem item;
        EXPECT_TRUE(item.Parse(QString::fromUtf8(line))) << line.toStdString();
        EXPECT_FALSE(items.contains(item.name)) << line.toStdString();
        items.insert(item.name, item);
    }
    return items;
}

class UnixServerCapture : public ::testing::TestWithParam<ServerCapture> {};

TEST_P(UnixServerCapture, EveryEntryIsReadWhole)
{
    const ServerCapture& capture = GetParam();
    const QList<QByteArray> lines = splitLines(readData(capture.file));
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(std::size(tree)));
    const QMap<QString, CListItem> items = parseAll(lines);
    for (const TreeEntry& entry : tree) {
        const QString name = QString::fromUtf8(entry.name);
        SCOPED_TRACE(entry.name);
        ASSERT_TRUE(items.contains(name));
        const CListItem& item = items[name];
        EXPECT_EQ(item.isFolder, entry.kind == Kind::Folder);
        EXPECT_EQ(item.isLink, entry.kind == Kind::Link);
        EXPECT_EQ(item.bytes, entry.bytes);
        EXPECT_EQ(item.size, QLatin1String(entry.size));
        EXPECT_EQ(item.permissions, QLatin1String(permissionsOf(entry.kind)));
        EXPECT_EQ(item.date, QLatin1String(entry.old ? capture.oldDate : capture.recentDate));
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealServers, UnixServerCapture,
    ::testing::Values(
        ServerCapture{"Vsftpd", "list-vsftpd.txt", "Dec 07 10:22", "Mar 05  2013"},
        ServerCapture{"Pyftpdlib", "list-pyftpdlib.txt", "Dec 07 10:22", "Mar 05  2013"},
        ServerCapture{"Proftpd", "list-proftpd.txt", "Dec  7 10:22", "Mar  5  2013"},
        ServerCapture{"ProftpdFakeOwner", "list-proftpd-fake-owner.txt", "Dec  7 10:22",
                      "Mar  5  2013"},
        ServerCapture{"PureFtpd", "list-pure-ftpd.txt", "Dec  7 10:22", "Mar  5  2013"}),
    caseName);

// The program decodes a listing as GBK until the server announces UTF8: UTF-8 names then come out
// garbled, but the lines must still be read, and every ASCII name exactly.
TEST(ListingCorpus, UtfEightListingDecodedAsGbkKeepsItsStructure)
{
    const QList<QByteArray> lines = splitLines(readData("list-vsftpd.txt"));
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(std::size(tree)));
    for (const QByteArray& line : lines) {
        SCOPED_TRACE(line.toStdString());
        CListItem asUtf8;
        CListItem asGbk;
        ASSERT_TRUE(asUtf8.Parse(QString::fromUtf8(line)));
        ASSERT_TRUE(asGbk.Parse(TextCodec::fromGbk(line)));
        EXPECT_EQ(asGbk.isFolder, asUtf8.isFolder);
        EXPECT_EQ(asGbk.isLink, asUtf8.isLink);
        EXPECT_EQ(asGbk.date, asUtf8.date);
        EXPECT_EQ(asGbk.size, asUtf8.size);
        EXPECT_EQ(asGbk.permissions, asUtf8.permissions);
        const bool asciiName = asUtf8.name.toLatin1() == asUtf8.name.toUtf8();
        EXPECT_EQ(asGbk.name == asUtf8.name, asciiName);
    }
}

struct DosEntry {
    const char* name;
    bool isFolder;
    quint64 bytes;
    const char* size;
    const char* date;
};

TEST(ListingCorpus, IisStyleEntries)
{
    const DosEntry expected[] = {
        {"docs", true, 0, "", "12-07-26  02:22PM "},
        {"file.txt", false, 1234567, "1.18MB", "12-07-26  02:22PM "},
        {" leading space dir", true, 0, "", "03-05-14  10:05AM "},
        {" leading space.txt", false, 2, "2", "03-05-14  10:05AM "},
        {"empty.txt", false, 0, "0", "01-01-00  12:00AM "},
        {"b1023.bin", false, 1023, "1023", "03-05-14  02:22PM "},
        {"b1024.bin", false, 1024, "1.00KB", "03-05-14  02:22PM "},
        {"mib1.bin", false, 1048576, "1.00MB", "03-05-14  02:22PM "},
        {"big.iso", false, 5368709120, "5.00GB", "03-05-14  02:22PM "},
        {"folder with spaces", true, 0, "", "03-05-14  02:22PM "},
        {"name with  two spaces.txt", false, 2, "2", "03-05-14  02:22PM "},
        {"trailing space.txt ", false, 2, "2", "03-05-14  02:22PM "},
        {"中文文件.txt", false, 2, "2", "03-05-14  02:22PM "},
        {"中文目录", true, 0, "", "03-05-14  02:22PM "},
        {"four digit year", true, 0, "", "07-26-2012  02:22PM "},
        {"four digit year.txt", false, 100, "100", "07-26-2012  02:22PM "},
    };
    const QList<QByteArray> lines = splitLines(readData("list-iis.txt"));
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(std::size(expected)));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i].toStdString());
        CListItem item;
        ASSERT_TRUE(item.Parse(QString::fromUtf8(lines[i])));
        EXPECT_EQ(item.name, QString::fromUtf8(expected[i].name));
        EXPECT_EQ(item.isFolder, expected[i].isFolder);
        EXPECT_FALSE(item.isLink);
        EXPECT_EQ(item.bytes, expected[i].bytes);
        EXPECT_EQ(item.size, QLatin1String(expected[i].size));
        EXPECT_EQ(item.date, QLatin1String(expected[i].date));
        EXPECT_TRUE(item.permissions.isEmpty());
    }
}

// "# <key>" starts a section of a data file and "##" lines are notes.
QMap<QString, QList<QByteArray>> readSections(const char* file)
{
    QMap<QString, QList<QByteArray>> sections;
    QString key;
    for (const QByteArray& line : splitLines(readData(file))) {
        if (line.startsWith("##"))
            continue;
        if (line.startsWith("# "))
            key = QString::fromUtf8(line.mid(2));
        else
            sections[key].append(line);
    }
    return sections;
}

struct LsEntry {
    const char* name;
    bool isFolder;
    quint64 bytes;
};

// The folder listed in every section of list-ls-locales.txt: names that begin with digits or
// with a date.
const LsEntry lsTree[] = {
    {"12 Aug.txt", false, 4},    {"2016 Budget", false, 5}, {"dir", true, 4096},
    {"new.txt", false, 1234567}, {"old.txt", false, 0},
};

// Locales and time styles write the date in many forms, but it is always all that stands
// between the size and the name.
TEST(ListingCorpus, LsLinesOfEveryLocaleAndTimeStyleAreReadWhole)
{
    const QMap<QString, QList<QByteArray>> sections = readSections("list-ls-locales.txt");
    EXPECT_EQ(sections.size(), 29);
    for (auto section = sections.begin(); section != sections.end(); ++section) {
        SCOPED_TRACE(section.key().toStdString());
        ASSERT_EQ(section->size(), static_cast<qsizetype>(std::size(lsTree)));
        for (const QByteArray& bytes : *section) {
            const QString line = QString::fromUtf8(bytes);
            SCOPED_TRACE(bytes.toStdString());
            CListItem item;
            ASSERT_TRUE(item.Parse(line));
            const auto entry = std::find_if(std::begin(lsTree), std::end(lsTree), [&](auto& e) {
                return item.name == QString::fromUtf8(e.name);
            });
            ASSERT_NE(entry, std::end(lsTree));
            EXPECT_EQ(item.isFolder, entry->isFolder);
            EXPECT_FALSE(item.isLink);
            EXPECT_EQ(item.bytes, entry->isFolder ? 0 : entry->bytes);
            EXPECT_EQ(item.size, entry->isFolder ? QString() : FormatSize(entry->bytes));
            EXPECT_EQ(item.permissions, QLatin1String(entry->isFolder ? "rwxr-xr-x" : "rw-r--r--"));
            const QString size = u' ' + QString::number(entry->bytes) + u' ';
            const qsizetype dateStart = line.indexOf(size) + size.size();
            EXPECT_EQ(item.date,
                      line.mid(dateStart, line.size() - dateStart - item.name.size()).trimmed());
        }
    }
}

// The folder listed in every section of list-windows-dir.txt, in the locale the section names.
TEST(ListingCorpus, WindowsDirLinesOfEveryLocaleAreReadWhole)
{
    const DosEntry dirTree[] = {
        {"docs", true, 0, "", nullptr},
        {"report.pdf", false, 1234567, "1.18MB", nullptr},
        {"small.txt", false, 999, "999", nullptr},
        {"2016 Budget.xlsx", false, 12345, "12.06KB", nullptr},
        {"big.iso", false, 5368709120, "5.00GB", nullptr},
    };
    const QMap<QString, QString> dates{
        {QStringLiteral("en-US"), QStringLiteral("03/14/2010  08:15 AM ")},
        {QStringLiteral("sv-SE"), QStringLiteral("2010-03-14  08:15 ")},
        {QStringLiteral("de-DE"), QStringLiteral("14.03.2010  08:15 ")},
        {QStringLiteral("ja-JP"), QStringLiteral("2010/03/14  08:15 ")}};
    const QMap<QString, QList<QByteArray>> sections = readSections("list-windows-dir.txt");
    ASSERT_EQ(sections.keys(), dates.keys());
    for (auto section = sections.begin(); section != sections.end(); ++section) {
        SCOPED_TRACE(section.key().toStdString());
        ASSERT_EQ(section->size(), static_cast<qsizetype>(std::size(dirTree)));
        const QMap<QString, CListItem> items = parseAll(*section);
        for (const DosEntry& entry : dirTree) {
            SCOPED_TRACE(entry.name);
            const CListItem item = items.value(QString::fromUtf8(entry.name));
            EXPECT_EQ(item.name, QString::fromUtf8(entry.name));
            EXPECT_EQ(item.isFolder, entry.isFolder);
            EXPECT_EQ(item.bytes, entry.bytes);
            EXPECT_EQ(item.size, QLatin1String(entry.size));
            EXPECT_EQ(item.date, dates.value(section.key()));
            EXPECT_TRUE(item.permissions.isEmpty());
        }
    }
}

} // namespace
