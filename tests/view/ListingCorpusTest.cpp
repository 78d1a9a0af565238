#include "platform/TextCodec.h"
#include "support/NamedCases.h"
#include "view/CListItem.h"
#include "view/FormatSize.h"

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
    QFile data(QStringLiteral(KEVRA_SOURCE_DIR "/tests/view/data/") + QLatin1String(file));
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

// One section's lines, each parsed as one entry, by name.
QMap<QString, CListItem> parseSection(const char* file, const QString& section, qsizetype entries)
{
    const QList<QByteArray> lines = readSections(file).value(section);
    EXPECT_EQ(lines.size(), entries) << section.toStdString();
    return parseAll(lines);
}

struct LsEntry {
    const char* name;
    bool isFolder;
    quint64 bytes;
    bool old; // 2008-03-14 16:20, the others yesterday 10:22
};

// The folder listed in list-ls-locales.txt: names that begin with digits or with a date.
const LsEntry lsTree[] = {
    {"12 Aug.txt", false, 4, true}, {"2016 Budget", false, 5, false},
    {"dir", true, 4096, false},     {"new.txt", false, 1234567, false},
    {"old.txt", false, 0, true},
};

struct LsCapture {
    const char* name;
    const char* section;
    const char* recentDate; // UTF-8
    const char* oldDate;
};

class LsLocaleCapture : public ::testing::TestWithParam<LsCapture> {};

TEST_P(LsLocaleCapture, EveryEntryIsReadWhole)
{
    const LsCapture& capture = GetParam();
    const QMap<QString, CListItem> items =
        parseSection("list-ls-locales.txt", QString::fromUtf8(capture.section), std::size(lsTree));
    for (const LsEntry& entry : lsTree) {
        SCOPED_TRACE(entry.name);
        const QString name = QString::fromUtf8(entry.name);
        ASSERT_TRUE(items.contains(name));
        const CListItem& item = items[name];
        EXPECT_EQ(item.isFolder, entry.isFolder);
        EXPECT_FALSE(item.isLink);
        EXPECT_EQ(item.bytes, entry.isFolder ? 0 : entry.bytes);
        EXPECT_EQ(item.size, entry.isFolder ? QString() : FormatSize(entry.bytes));
        EXPECT_EQ(item.permissions, QLatin1String(entry.isFolder ? "rwxr-xr-x" : "rw-r--r--"));
        EXPECT_EQ(item.date, QString::fromUtf8(entry.old ? capture.oldDate : capture.recentDate));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LsLocaleCapture,
    ::testing::Values(
        LsCapture{"German", "LC_ALL=de_DE.UTF-8 ls -l", "7. Dez 10:22", "14. Mär 2008"},
        LsCapture{"Hungarian", "LC_ALL=hu_HU.UTF-8 ls -l", "dec    7 10.22", "2008 márc  14"},
        LsCapture{"French", "LC_ALL=fr_FR.UTF-8 ls -l", "7 déc.  10:22", "14 mars   2008"},
        LsCapture{"Japanese", "LC_ALL=ja_JP.UTF-8 ls -l", "12月  7 10:22", "3月 14  2008"},
        LsCapture{"Russian", "LC_ALL=ru_RU.UTF-8 ls -l", "дек  7 10:22", "мар 14  2008"},
        LsCapture{"Spanish", "LC_ALL=es_ES.UTF-8 ls -l", "dic  7 10:22", "mar 14  2008"},
        LsCapture{"Dutch", "LC_ALL=nl_NL.UTF-8 ls -l", "7 dec 10:22", "14 mrt  2008"},
        LsCapture{"Polish", "LC_ALL=pl_PL.UTF-8 ls -l", "12-07 10:22", "2008-03-14"},
        LsCapture{"Italian", "LC_ALL=it_IT.UTF-8 ls -l", "7 dic 10.22", "14 mar  2008"},
        LsCapture{"Swedish", "LC_ALL=sv_SE.UTF-8 ls -l", "7 dec 10.22", "14 mar  2008"},
        LsCapture{"Portuguese", "LC_ALL=pt_BR.UTF-8 ls -l", "dez  7 10:22", "mar 14  2008"},
        LsCapture{"Korean", "LC_ALL=ko_KR.UTF-8 ls -l", "12월  7일  10:22", "2008년  3월 14일"},
        LsCapture{"Finnish", "LC_ALL=fi_FI.UTF-8 ls -l", "7.12. 10:22", "14. 3.  2008"},
        // Czech puts a no-break space after the day.
        LsCapture{"Czech", "LC_ALL=cs_CZ.UTF-8 ls -l", "7.\u00a0pro 10.22", "14.\u00a0bře  2008"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    TimeStyles, LsLocaleCapture,
    ::testing::Values(
        LsCapture{"LongIso", "LC_ALL=C ls -l --time-style=long-iso", "2026-12-07 10:22",
                  "2008-03-14 16:20"},
        LsCapture{"Iso", "LC_ALL=C ls -l --time-style=iso", "12-07 10:22", "2008-03-14"},
        LsCapture{"YearSlashes", "LC_ALL=C ls -l --time-style=+%Y/%m/%d %H:%M", "2026/12/07 10:22",
                  "2008/03/14 16:20"},
        LsCapture{"DayMonthYear", "LC_ALL=C ls -l --time-style=+%d-%m-%Y %H:%M", "07-12-2026 10:22",
                  "14-03-2008 16:20"},
        LsCapture{"YearDots", "LC_ALL=C ls -l --time-style=+%Y.%m.%d", "2026.12.07", "2008.03.14"},
        LsCapture{"MonthDayYear", "LC_ALL=C ls -l --time-style=+%m-%d %Y", "12-07 2026",
                  "03-14 2008"},
        LsCapture{"DayBeforeMonthYear", "LC_ALL=C ls -l --time-style=+%d %b %Y", "07 Dec 2026",
                  "14 Mar 2008"},
        LsCapture{"DayBeforeMonthTime", "LC_ALL=C ls -l --time-style=+%d %b %H:%M", "07 Dec 10:22",
                  "14 Mar 16:20"},
        LsCapture{"YearAndTime", "LC_ALL=C ls -l --time-style=+%b %d, %Y %H:%M",
                  "Dec 07, 2026 10:22", "Mar 14, 2008 16:20"},
        LsCapture{"GermanFullMonth", "LC_ALL=de_DE.UTF-8 ls -l --time-style=+%-d. %B, %H:%M",
                  "7. Dezember, 10:22", "14. März, 16:20"},
        LsCapture{"GermanDottedMonth", "LC_ALL=de_DE.UTF-8 ls -l --time-style=+%d.   %b.  %Y",
                  "07.   Dez.  2026", "14.   Mär.  2008"},
        LsCapture{"GermanDotAndComma", "LC_ALL=de_DE.UTF-8 ls -l --time-style=+%-d. %b., %H:%M",
                  "7. Dez., 10:22", "14. Mär., 16:20"},
        LsCapture{"HungarianMonthFirst", "LC_ALL=hu_HU.UTF-8 ls -l --time-style=+%b %-d %H:%M",
                  "dec   7 10:22", "márc  14 16:20"}),
    caseName);

// Without the group (and the owner) column the size follows the link count.
INSTANTIATE_TEST_SUITE_P(FewerColumns, LsLocaleCapture,
                         ::testing::Values(LsCapture{"NoOwnerNoGroup", "LC_ALL=C ls -og",
                                                     "Dec  7 10:22", "Mar 14  2008"},
                                           LsCapture{"NoGroup",
                                                     "LC_ALL=C ls -o --time-style=long-iso",
                                                     "2026-12-07 10:22", "2008-03-14 16:20"}),
                         caseName);

struct DirCapture {
    const char* name;
    const char* section;
    const char* date;
};

// The folder listed in list-windows-dir.txt.
const DosEntry dirTree[] = {
    {"docs", true, 0, "", nullptr},
    {"report.pdf", false, 1234567, "1.18MB", nullptr},
    {"small.txt", false, 999, "999", nullptr},
    {"2016 Budget.xlsx", false, 12345, "12.06KB", nullptr},
    {"big.iso", false, 5368709120, "5.00GB", nullptr},
};

class WindowsDirListing : public ::testing::TestWithParam<DirCapture> {};

TEST_P(WindowsDirListing, EveryEntryIsReadWhole)
{
    const DirCapture& capture = GetParam();
    const QMap<QString, CListItem> items =
        parseSection("list-windows-dir.txt", QLatin1String(capture.section), std::size(dirTree));
    for (const DosEntry& entry : dirTree) {
        SCOPED_TRACE(entry.name);
        const QString name = QString::fromUtf8(entry.name);
        ASSERT_TRUE(items.contains(name));
        const CListItem& item = items[name];
        EXPECT_EQ(item.isFolder, entry.isFolder);
        EXPECT_EQ(item.bytes, entry.bytes);
        EXPECT_EQ(item.size, QLatin1String(entry.size));
        EXPECT_EQ(item.date, QLatin1String(capture.date));
        EXPECT_TRUE(item.permissions.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, WindowsDirListing,
                         ::testing::Values(DirCapture{"English", "en-US", "03/14/2010  08:15 AM "},
                                           DirCapture{"Swedish", "sv-SE", "2010-03-14  08:15 "},
                                           DirCapture{"German", "de-DE", "14.03.2010  08:15 "},
                                           DirCapture{"Japanese", "ja-JP", "2010/03/14  08:15 "}),
                         caseName);

} // namespace
