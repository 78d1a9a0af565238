#include "listing/CListItem.h"
#include "listing/FormatSize.h"
#include "support/NamedCases.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

struct Accepted {
    const char* name;
    const char* line; // UTF-8
    bool isFolder;
    bool isLink;
    const char* entry;
    const char* date;
    const char* size;
    const char* permissions;
    quint64 bytes;
};

class AcceptedLines : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedLines, GiveTheEntry)
{
    const Accepted& c = GetParam();
    CListItem item;
    ASSERT_TRUE(item.Parse(QString::fromUtf8(c.line)));
    EXPECT_EQ(item.isFolder, c.isFolder);
    EXPECT_EQ(item.isLink, c.isLink);
    EXPECT_EQ(item.name, QString::fromUtf8(c.entry));
    EXPECT_EQ(item.date, QString::fromUtf8(c.date));
    EXPECT_EQ(item.size, QLatin1String(c.size));
    EXPECT_EQ(item.permissions, QLatin1String(c.permissions));
    EXPECT_EQ(item.bytes, c.bytes);
}

// The layouts the column positions of the original parser were built for.
INSTANTIATE_TEST_SUITE_P(
    KnownLayouts, AcceptedLines,
    ::testing::Values(
        // Time colon at column 52, as vsftpd prints a folder.
        Accepted{"VsftpdFolder", "drwxr-xr-x    2 ftp      ftp          4096 Mar 05 14:22 pub",
                 true, false, "pub", "Mar 05 14:22", "", "rwxr-xr-x", 0},
        // A year instead of a time: no colon at all, month at column 42.
        Accepted{"FileWithAYear", "-rw-r--r--   1 ftp      ftp       1572864 Mar 05  2013 big.iso",
                 false, false, "big.iso", "Mar 05  2013", "1.50MB", "rw-r--r--", 1572864},
        Accepted{"DosFolder", "03-05-14  02:22PM       <DIR>          docs", true, false, "docs",
                 "03-05-14  02:22PM ", "", "", 0},
        Accepted{"DosFile", "12-07-26  02:22PM              1234567 file.txt", false, false,
                 "file.txt", "12-07-26  02:22PM ", "1.18MB", "", 1234567}),
    caseName);

// Lines whose fields do not sit where fixed columns expect them.
INSTANTIATE_TEST_SUITE_P(
    ShiftedFields, AcceptedLines,
    ::testing::Values(
        // One more blank after the permissions moved the name to "3 big.iso" before.
        Accepted{"ExtraBlankAfterPermissions",
                 "-rw-r--r--    1 ftp      ftp       1572864 Mar 05  2013 big.iso", false, false,
                 "big.iso", "Mar 05  2013", "1.50MB", "rw-r--r--", 1572864},
        Accepted{"NoGroup", "-rw-r--r-- 1 owner 1234 Mar 05 14:22 no group", false, false,
                 "no group", "Mar 05 14:22", "1.21KB", "rw-r--r--", 1234},
        Accepted{"NumericIds", "-rw-r--r-- 1 1000 1000 4096 Jan 1 2020 numeric ids", false, false,
                 "numeric ids", "Jan 1 2020", "4.00KB", "rw-r--r--", 4096},
        Accepted{"AclMark", "-rw-r--r--+ 1 ftp ftp 10 Mar 05 14:22 acl.txt", false, false,
                 "acl.txt", "Mar 05 14:22", "10", "rw-r--r--", 10},
        Accepted{"OwnerWithColons", "-rw-r--r-- 1 a:b c:d:e 7 Mar  5 14:22 owner with colons",
                 false, false, "owner with colons", "Mar  5 14:22", "7", "rw-r--r--", 7},
        Accepted{"DateInsideTheName", "-rw-r--r-- 1 ftp ftp 5 Mar 05 14:22 7 Mar 05 14:22 x", false,
                 false, "7 Mar 05 14:22 x", "Mar 05 14:22", "5", "rw-r--r--", 5},
        Accepted{"Tabs", "-rw-r--r--\t1\tftp\tftp\t3\tMar\t05\t14:22\ttabs", false, false, "tabs",
                 "Mar\t05\t14:22", "3", "rw-r--r--", 3},
        Accepted{"HugeSize", "-rw-r--r-- 1 ftp ftp 12345678901234567890 Mar 05 14:22 huge", false,
                 false, "huge", "Mar 05 14:22", "11497809459.67GB", "rw-r--r--",
                 12345678901234567890ULL},
        Accepted{"TimeWithSeconds", "-rw-r--r-- 1 ftp ftp 3 Mar 05 14:22:07 seconds", false, false,
                 "seconds", "Mar 05 14:22:07", "3", "rw-r--r--", 3},
        Accepted{"ChineseMonth", "-rw-r--r-- 1 root root 0 12月  8 10:22 中文区域", false, false,
                 "中文区域", "12月  8 10:22", "0", "rw-r--r--", 0},
        Accepted{"CapitalTypeLetter", "Drwxr-xr-x 2 ftp ftp 4096 mar 05 14:22 Upper", true, false,
                 "Upper", "mar 05 14:22", "", "rwxr-xr-x", 0},
        Accepted{"TrailingCr", "-rw-r--r-- 1 ftp ftp 3 Mar 05 14:22 crlf\r", false, false, "crlf",
                 "Mar 05 14:22", "3", "rw-r--r--", 3},
        Accepted{"CrInsideTheName", "-rw-r--r-- 1 ftp ftp 3 Mar 05 14:22 a\rb", false, false,
                 "a\rb", "Mar 05 14:22", "3", "rw-r--r--", 3}),
    caseName);

// Links are rows of their own under their own name and never folders.
INSTANTIATE_TEST_SUITE_P(
    Links, AcceptedLines,
    ::testing::Values(
        Accepted{"ArrowAndTargetDropped",
                 "lrwxrwxrwx    1 0        0               6 Mar 05  2013 dirlink -> folder", false,
                 true, "dirlink", "Mar 05  2013", "6", "rwxrwxrwx", 6},
        Accepted{"NameEndsAtTheFirstArrow", "lrwxrwxrwx 1 ftp ftp 5 Mar 05 14:22 a b -> c -> d",
                 false, true, "a b", "Mar 05 14:22", "5", "rwxrwxrwx", 5},
        Accepted{"NoArrow", "lrwxrwxrwx 1 ftp ftp 5 Mar 05 14:22 no arrow", false, true, "no arrow",
                 "Mar 05 14:22", "5", "rwxrwxrwx", 5}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    DosVariants, AcceptedLines,
    ::testing::Values(
        Accepted{"LowerCaseDir", "03-05-14  02:22PM       <dir>          lower", true, false,
                 "lower", "03-05-14  02:22PM ", "", "", 0},
        Accepted{"BlankBeforeMeridiem", "03-05-14  02:22 PM      <DIR> spaced meridiem", true,
                 false, "spaced meridiem", "03-05-14  02:22 PM ", "", "", 0},
        Accepted{"FourDigitYear24Hour", "03-05-2014  14:22  <DIR>  x", true, false, "x",
                 "03-05-2014  14:22 ", "", "", 0},
        Accepted{"SlashesAndShortGaps", "03/05/14 02:22PM 12 short", false, false, "short",
                 "03/05/14 02:22PM ", "12", "", 12},
        Accepted{"WideSize", "03-05-14  02:22PM      123456789012345 wide", false, false, "wide",
                 "03-05-14  02:22PM ", "114978.09GB", "", 123456789012345ULL},
        // Blanks past IIS's name column belong to the name.
        Accepted{"FolderNameKeepsBlanksPastTheColumn",
                 "03-05-14  02:22PM       <DIR>            two blanks", true, false, "  two blanks",
                 "03-05-14  02:22PM ", "", "", 0},
        Accepted{"FileNameKeepsBlankPastTheColumn", "03-05-14  02:22PM                    2  lead",
                 false, false, " lead", "03-05-14  02:22PM ", "2", "", 2}),
    caseName);

// Forms the captured listings do not show.
INSTANTIATE_TEST_SUITE_P(
    OtherForms, AcceptedLines,
    ::testing::Values(Accepted{"UpperCaseLocalizedMonth", "-rw-r--r-- 1 ftp ftp 5 3 DÉC. 11:00 x",
                               false, false, "x", "3 DÉC. 11:00", "5", "rw-r--r--", 5},
                      Accepted{"YearWithCommaWithoutTime", "-rw-r--r-- 1 ftp ftp 5 Jun 14, 2003 x",
                               false, false, "x", "Jun 14, 2003", "5", "rw-r--r--", 5},
                      Accepted{"NoLinkCountEither", "-rw-r--r-- 1234 2012-01-31 08:05 x", false,
                               false, "x", "2012-01-31 08:05", "1.21KB", "rw-r--r--", 1234},
                      Accepted{"LargestGroupedSize",
                               "2010/03/14  08:15 18,446,744,073,709,551,615 max", false, false,
                               "max", "2010/03/14  08:15 ", "17179869184.00GB", "",
                               18446744073709551615ULL}),
    caseName);

// Where a name could continue the date, the date stops at its shortest complete form.
INSTANTIATE_TEST_SUITE_P(
    NamesThatLookLikeDates, AcceptedLines,
    ::testing::Values(
        Accepted{"YearAfterTheTime", "-rw-r--r-- 1 ftp ftp 1234 12 Aug 02:27 2016 Budget", false,
                 false, "2016 Budget", "12 Aug 02:27", "1.21KB", "rw-r--r--", 1234},
        Accepted{"YearAfterAClassicTime", "-rw-r--r-- 1 ftp ftp 5 Aug 12 02:27 2016 Budget", false,
                 false, "2016 Budget", "Aug 12 02:27", "5", "rw-r--r--", 5},
        // Only the comma after the day announces a time after the year.
        Accepted{"TimeAfterAYearWithoutComma", "-rw-r--r-- 1 ftp ftp 5 Mar 05  2013 11:20 x", false,
                 false, "11:20 x", "Mar 05  2013", "5", "rw-r--r--", 5},
        Accepted{"DayAndMonthAfterTheDate", "-rw-r--r-- 1 ftp ftp 5 2012-01-31 08:05 12 Aug", false,
                 false, "12 Aug", "2012-01-31 08:05", "5", "rw-r--r--", 5},
        // Numeric owner and group with a four-digit size: not a year-first date.
        Accepted{"NumericIdsBeforeAFourDigitSize", "-rw-r--r-- 1 1000 1000 4096 Mar 05 14:22 x",
                 false, false, "x", "Mar 05 14:22", "4.00KB", "rw-r--r--", 4096},
        Accepted{"NumericIdsBeforeAFourDigitSizeAndAYear",
                 "-rw-r--r-- 1 1000 1000 4096 Mar 05  2013 x", false, false, "x", "Mar 05  2013",
                 "4.00KB", "rw-r--r--", 4096},
        // An owner or group that looks like a date does not hide the size and date after it.
        Accepted{"GroupLikeAMonth", "-rw-r--r-- 1 5 mar 4096 Dec 07 10:22 x", false, false, "x",
                 "Dec 07 10:22", "4.00KB", "rw-r--r--", 4096},
        Accepted{"OwnerLikeALocalizedMonth", "-rw-r--r-- 1 mai 10 4096 Mar 05 14:22 x", false,
                 false, "x", "Mar 05 14:22", "4.00KB", "rw-r--r--", 4096},
        Accepted{"GroupLikeADate", "-rw-r--r-- 1 0 2012-01-31 4096 Dec 07 10:22 x", false, false,
                 "x", "Dec 07 10:22", "4.00KB", "rw-r--r--", 4096},
        Accepted{"YearFirstBeforeAYearInTheName",
                 "-rw-r--r-- 1 root root 0 2008 márc  14 2013 report.txt", false, false,
                 "2013 report.txt", "2008 márc  14", "0", "rw-r--r--", 0},
        // The blank that pads a date on its right is not taken into the name.
        Accepted{"PaddingKeepsTheNamesOwnBlank", "-rw-r--r-- 1 root root 0 2008-03-14   lead.txt",
                 false, false, " lead.txt", "2008-03-14", "0", "rw-r--r--", 0}),
    caseName);

// Lines that describe no entry the pane can show or act on.
struct Rejected {
    const char* name;
    const char* line; // UTF-8
};

class RejectedLines : public ::testing::TestWithParam<Rejected> {};

TEST_P(RejectedLines, AreRejected)
{
    CListItem item;
    EXPECT_FALSE(item.Parse(QString::fromUtf8(GetParam().line)));
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RejectedLines,
    ::testing::Values(
        Rejected{"Empty", ""}, Rejected{"OnlyCr", "\r"}, Rejected{"OnlyBlanks", "   "},
        Rejected{"OnlyTabs", "\t\t"}, Rejected{"TotalLine", "total 12"}, Rejected{"LoneDash", "-"},
        Rejected{"LoneD", "d"}, Rejected{"LoneL", "l"}, Rejected{"PermissionsOnly", "drwxr-xr-x"},
        Rejected{"ShortPermissions", "drwx 2 ftp ftp 4096 Mar 05 14:22 short"},
        Rejected{"NoName", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 14:22"},
        Rejected{"NameIsOneBlank", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 14:22 "},
        Rejected{"NameIsBlanks", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 14:22    "},
        Rejected{"SizeNotANumber", "-rw-r--r-- 1 ftp ftp abc Mar 05 14:22 x"},
        Rejected{"SizeOverflows64Bits",
                 "-rw-r--r-- 1 ftp ftp 18446744073709551616 Mar 05 14:22 overflow"},
        Rejected{"SizeHasTooManyDigits",
                 "-rw-r--r-- 1 ftp ftp 123456789012345678901 Mar 05 14:22 too many digits"},
        Rejected{"UnknownMonth", "-rw-r--r-- 1 ftp ftp 1234 Foo 05 14:22 x"},
        Rejected{"ThreeDigitDay", "-rw-r--r-- 1 ftp ftp 1234 Mar 123 14:22 x"},
        Rejected{"TimeWithoutColon", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 14h22 x"},
        Rejected{"ThreeDigitYear", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 201 x"},
        Rejected{"OneDigitMinute", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 14:2 x"},
        Rejected{"LinkWithEmptyName", "lrwxrwxrwx 1 ftp ftp 5 Mar 05 14:22  -> x"},
        Rejected{"NameClimbsUp", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 14:22 ../../etc/passwd"},
        Rejected{"NameWithSlash", "-rw-r--r-- 1 ftp ftp 1234 Mar 05 14:22 sub/name"},
        Rejected{"BlockDevice", "brw-rw---- 1 root disk 8, 0 Mar 05 14:22 sda"},
        Rejected{"CharacterDevice", "crw-rw-rw- 1 root root 1, 3 Mar 05 14:22 null"},
        Rejected{"Fifo", "prw-r--r-- 1 ftp ftp 0 Mar 05 14:22 fifo"},
        Rejected{"Socket", "srwxr-xr-x 1 ftp ftp 0 Mar 05 14:22 socket"},
        Rejected{"ProseLine", "Directory listing of /pub follows: 12 entries"},
        Rejected{"DosDateOnly", "03-05-14  02:22PM"},
        Rejected{"DosFolderWithoutName", "03-05-14  02:22PM       <DIR>"},
        Rejected{"DosFolderNameOfBlanks", "03-05-14  02:22PM       <DIR>          "},
        Rejected{"DosFileWithoutName", "03-05-14  02:22PM                 1234"},
        Rejected{"DosOneDigitMonthAndDay", "3-5-14  02:22PM  12 x"},
        Rejected{"DosLetterAfterDate", "03-05-14x 02:22PM 12 x"},
        Rejected{"DosOneDigitYear", "03-05-1  02:22PM 12 x"},
        Rejected{"DosTimeWithoutColon", "03-05-14  0222PM 12 x"},
        Rejected{"DosBadMeridiem", "03-05-14  02:22XM 12 x"},
        Rejected{"DosFractionalSize", "03-05-14  02:22PM  1.5 x"},
        Rejected{"DosUnknownTag", "03-05-14  02:22PM  <FILE> x"},
        Rejected{"DosLeadingBlank", " 03-05-14  02:22PM  12 x"},
        Rejected{"DosNameWithSlash", "03-05-14  02:22PM  12 a/b"},
        Rejected{"DosMeridiemTwice", "03-05-14  02:22PM AM  <DIR>  twice"},
        Rejected{"DosNameOfUnicodeBlanks", "03-05-14  02:22PM       <DIR>          \u00a0\u3000"},
        Rejected{"NameIsNoBreakSpace", "-rw-r--r-- 1 ftp ftp 3 Mar 05 14:22 \u00a0"},
        Rejected{"PortReply", "200 PORT command successful"}),
    caseName);

// Near misses of the other date forms and of grouped sizes.
INSTANTIATE_TEST_SUITE_P(
    MalformedDates, RejectedLines,
    ::testing::Values(
        Rejected{"DayMonthWithoutTime", "-rw-r--r-- 1 ftp ftp 5 12 Aug x"},
        Rejected{"ShortDateWithoutTime", "-rw-r--r-- 1 ftp ftp 5 03-14 x"},
        Rejected{"ShortDateOfThreeDigits", "-rw-r--r-- 1 ftp ftp 5 003-14 16:20 x"},
        Rejected{"FullDateWithMixedSeparators", "-rw-r--r-- 1 ftp ftp 5 2012-01/31 08:05 x"},
        Rejected{"FullDateWithThreeDigitDay", "-rw-r--r-- 1 ftp ftp 5 2012-01-311 x"},
        Rejected{"FullDateWithTwoYears", "-rw-r--r-- 1 ftp ftp 5 2012-01-2013 x"},
        Rejected{"UnknownLocalizedMonth", "-rw-r--r-- 1 ftp ftp 5 4. Mörz, 18:30 x"},
        Rejected{"DayWithTwoDots", "-rw-r--r-- 1 ftp ftp 5 4.. März 18:30 x"},
        Rejected{"DottedTimeOneDigitMinute", "-rw-r--r-- 1 ftp ftp 5 Mar 05 14.2 x"},
        Rejected{"YearAndTimeWithoutName", "-rw-r--r-- 1 ftp ftp 5 Jun 14, 2003 11:20"},
        Rejected{"MonthMarkWithoutNumber", "-rw-r--r-- 1 ftp ftp 5 月 14 2008 x"},
        Rejected{"DayZeroBeforeTheMonth", "-rw-r--r-- 1 ftp ftp 5 0 Dec 10:22 x"},
        Rejected{"DayPastTheMonthsEnd", "-rw-r--r-- 1 ftp ftp 5 32 Dec 2008 x"},
        Rejected{"YearFirstOutsideTheCalendar", "-rw-r--r-- 1 ftp ftp 5 4096 márc 14 x"},
        Rejected{"DosYearFirstOneDigitMonth", "2010-3-14  08:15  12 x"},
        Rejected{"DosGroupOfTwoDigits", "2010-03-14  08:15  1,23 x"},
        Rejected{"DosGroupOfFourDigits", "2010-03-14  08:15  1,2345 x"},
        Rejected{"DosFirstGroupOfFourDigits", "2010-03-14  08:15  1234,567 x"},
        Rejected{"DosMixedGroupSeparators", "2010-03-14  08:15  1,234.567 x"},
        Rejected{"DosGroupedSizeEndsInSeparator", "2010-03-14  08:15  1,234, x"},
        Rejected{"DosGroupedSizeOverflows", "2010-03-14  08:15  18,446,744,073,709,551,616 x"}),
    caseName);

TEST(CListItemParse, RejectsANameWithANul)
{
    QString line = QStringLiteral("-rw-r--r-- 1 ftp ftp 3 Mar 05 14:22 ab");
    line.insert(line.size() - 1, QChar(u'\0'));
    CListItem item;
    EXPECT_FALSE(item.Parse(line));
}

TEST(CListItemParse, RejectedLineLeavesNoFieldsBehind)
{
    CListItem item;
    ASSERT_TRUE(item.Parse(QStringLiteral("lrwxrwxrwx 1 ftp ftp 5 Mar 05 14:22 a -> b")));
    ASSERT_FALSE(item.Parse(QStringLiteral("total 12")));
    EXPECT_FALSE(item.isFolder);
    EXPECT_FALSE(item.isLink);
    EXPECT_TRUE(item.name.isEmpty());
    EXPECT_TRUE(item.date.isEmpty());
    EXPECT_TRUE(item.size.isEmpty());
    EXPECT_TRUE(item.permissions.isEmpty());
    EXPECT_EQ(item.bytes, 0u);
}

constexpr qsizetype mebibyte = 1024 * 1024;

TEST(CListItemParse, EnormousLinesAreReadOnce)
{
    const QString prefix = QStringLiteral("-rw-r--r-- 1 ftp ftp 3 Mar 05 14:22 ");
    CListItem item;
    ASSERT_TRUE(item.Parse(prefix + QString(mebibyte, u'n')));
    EXPECT_EQ(item.name.size(), mebibyte);

    const std::vector<QString> junk = {
        QString(mebibyte, u'x'),
        QStringLiteral("-") + QString(mebibyte, u'r'),
        QStringLiteral("-rw-r--r-- ") + QStringLiteral("1 ").repeated(mebibyte / 2),
        QStringLiteral("-rw-r--r-- ") + QStringLiteral("1 Mar 05 ").repeated(mebibyte / 9),
        QStringLiteral("03-05-14  02:22PM ") + QString(mebibyte, u' '),
        QStringLiteral("03-05-14  02:22PM       <DIR>") + QString(mebibyte, u' '),
        QString(mebibyte, u' ') + QStringLiteral("x"),
    };
    for (const QString& line : junk)
        EXPECT_FALSE(item.Parse(line)) << line.left(40).toStdString();
}

// What every accepted line must satisfy, whatever it held.
void ExpectConsistent(const QString& line, const CListItem& item)
{
    EXPECT_FALSE(item.name.trimmed().isEmpty());
    EXPECT_TRUE(line.contains(item.name));
    EXPECT_TRUE(line.contains(item.date));
    EXPECT_FALSE(item.name.contains(u'/'));
    EXPECT_FALSE(item.isFolder && item.isLink);
    EXPECT_EQ(item.size, item.isFolder ? QString() : FormatSize(item.bytes));
    EXPECT_TRUE(item.permissions.isEmpty() || item.permissions.size() == 9);
}

// A fixed-seed generator, so that a failure can be replayed.
class LineMaker {
public:
    quint32 next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<quint32>(state_ >> 33);
    }
    QByteArray randomBytes(int length)
    {
        QByteArray bytes;
        for (int i = 0; i < length; ++i)
            bytes.append(static_cast<char>(next() & 0xFF));
        return bytes;
    }
    // A known-good line with a few pieces of listing syntax inserted, or spans cut out.
    QString mutated()
    {
        static const char* const bases[] = {
            "drwxr-xr-x    2 ftp      ftp          4096 Mar 05 14:22 pub",
            "-rw-r--r--   1 ftp      ftp       1572864 Mar 05  2013 big.iso",
            "lrwxrwxrwx 1 ftp ftp 5 Mar 05 14:22 a -> b",
            "03-05-14  02:22PM       <DIR>          docs",
            "12-07-26  02:22PM              1234567 file.txt"};
        static const char* const pieces[] = {"1",        "ftp",
                                             "4096",     "Mar",
                                             "12月",     "05",
                                             "14:22",    "2013",
                                             " ",        "  ",
                                             "\t",       "x",
                                             " -> ",     "<DIR>",
                                             "03-05-14", "02:22PM",
                                             "PM",       ":",
                                             "/",        "中文",
                                             "\r",       "99999999999999999999"};
        QString line = QString::fromUtf8(bases[next() % std::size(bases)]);
        for (quint32 edits = 1 + next() % 3; edits > 0; --edits) {
            const qsizetype at = next() % (line.size() + 1);
            if (next() % 2 == 0)
                line.insert(at, QString::fromUtf8(pieces[next() % std::size(pieces)]));
            else
                line.remove(at, next() % 4);
        }
        return line;
    }

private:
    quint64 state_ = 20260308;
};

TEST(CListItemParse, RandomBytesNeverGiveAnInconsistentEntry)
{
    LineMaker maker;
    CListItem item;
    for (int round = 0; round < 3000; ++round) {
        const QByteArray bytes = maker.randomBytes(static_cast<int>(maker.next() % 200));
        for (const QString& line : {QString::fromLatin1(bytes), QString::fromUtf8(bytes)}) {
            if (item.Parse(line))
                ExpectConsistent(line, item);
        }
    }
}

TEST(CListItemParse, EditedListingLinesNeverGiveAnInconsistentEntry)
{
    LineMaker maker;
    CListItem item;
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        const QString line = maker.mutated();
        if (item.Parse(line)) {
            ++accepted;
            ExpectConsistent(line, item);
        }
    }
    // The edits are meant to reach the accepting paths as well as the rejecting ones.
    EXPECT_GT(accepted, 1000);
    EXPECT_LT(accepted, 20000);
}

} // namespace
