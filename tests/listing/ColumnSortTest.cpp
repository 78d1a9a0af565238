#include "listing/ColumnSort.h"
#include "listing/CListItem.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

// Remote-list rows: name, date, size, permissions.
QStringList row(const char* name, const char* size, const char* date = "Mar 05 14:22")
{
    return {QString::fromUtf8(name), QLatin1String(date), QLatin1String(size),
            QStringLiteral("rw-r--r--")};
}

QStringList namesInOrder(const ColumnSort& sort, const QList<QStringList>& rows)
{
    QStringList names;
    for (qsizetype index : sort.order(rows))
        names.append(rows[index].front());
    return names;
}

QStringList names(std::initializer_list<const char*> list)
{
    QStringList result;
    for (const char* name : list)
        result.append(QString::fromUtf8(name));
    return result;
}

ColumnSort sortedBy(int column, bool ascending)
{
    ColumnSort sort;
    sort.click(column);
    if (!ascending)
        sort.click(column);
    return sort;
}

struct ClickCase {
    const char* name;
    std::vector<int> clicks;
    int column;
    bool ascending;
};

class SortClicks : public ::testing::TestWithParam<ClickCase> {};

// One state serves all three lists, so a click sequence stands for clicks on any of them.
TEST_P(SortClicks, LeaveTheSharedState)
{
    ColumnSort sort;
    for (int column : GetParam().clicks)
        sort.click(column);
    EXPECT_EQ(sort.column(), GetParam().column);
    EXPECT_EQ(sort.ascending(), GetParam().ascending);
}

INSTANTIATE_TEST_SUITE_P(
    ClickSequences, SortClicks,
    ::testing::Values(ClickCase{"None", {}, 0, false}, ClickCase{"Column0", {0}, 0, true},
                      ClickCase{"Column2", {2}, 2, true}, ClickCase{"Column11", {11}, 11, true},
                      ClickCase{"Column2Twice", {2, 2}, 2, false},
                      ClickCase{"Column2ThreeTimes", {2, 2, 2}, 2, true},
                      ClickCase{"Column2Then1", {2, 1}, 1, true},
                      ClickCase{"Column2TwiceThen1", {2, 2, 1}, 1, true},
                      ClickCase{"Column0TwiceThen3Then0", {0, 0, 3, 0}, 0, true}),
    caseName);

struct CompareCase {
    const char* name;
    int column;
    bool ascending;
    QStringList a;
    QStringList b;
    int expected; // sign of compare(a, b)
};

class RowComparison : public ::testing::TestWithParam<CompareCase> {};

int sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST_P(RowComparison, OrdersThePair)
{
    const CompareCase& c = GetParam();
    const ColumnSort sort = sortedBy(c.column, c.ascending);
    EXPECT_EQ(sign(sort.compare(c.a, c.b)), c.expected);
    EXPECT_EQ(sign(sort.compare(c.b, c.a)), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    SizeColumn, RowComparison,
    ::testing::Values(
        CompareCase{"GigabytesAfterMegabytes", 2, true, row("a", "2.00GB"), row("b", "900.00MB"),
                    1},
        CompareCase{"GigabytesBeforeMegabytesDescending", 2, false, row("a", "2.00GB"),
                    row("b", "900.00MB"), -1},
        // Megabytes count only by their whole part.
        CompareCase{"MegabytesByWholePart", 2, true, row("a", "1.99MB"), row("b", "1.01MB"), 0},
        CompareCase{"MegabytesByWholePartDescending", 2, false, row("a", "1.99MB"),
                    row("b", "1.01MB"), 0},
        CompareCase{"GigabytesByFraction", 2, true, row("a", "1.50GB"), row("b", "1.49GB"), 1},
        CompareCase{"KilobytesByFraction", 2, true, row("a", "1.50KB"), row("b", "1.49KB"), 1},
        CompareCase{"KilobyteAfterBytes", 2, true, row("a", "1.00KB"), row("b", "1023"), 1},
        CompareCase{"Bytes", 2, true, row("a", "0"), row("b", "1"), -1},
        CompareCase{"KilobytesEqualAMegabyte", 2, true, row("a", "1024.00KB"), row("b", "1.00MB"),
                    0},
        CompareCase{"BytesByValue", 2, true, row("a", "999"), row("b", "1000"), -1},
        CompareCase{"JunkEqualsZero", 2, true, row("a", "junk"), row("b", "0"), 0},
        CompareCase{"HugeGigabytes", 2, true, row("a", "17179869184.00GB"), row("b", "5.00GB"), 1}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    FoldersFirst, RowComparison,
    ::testing::Values(
        CompareCase{"FolderBeforeFileBySize", 2, true, row("z", ""), row("a", "1"), -1},
        CompareCase{"FolderBeforeFileBySizeDescending", 2, false, row("z", ""), row("a", "5.00GB"),
                    -1},
        CompareCase{"FolderBeforeFileByName", 0, true, row("z", ""), row("a", "1"), -1},
        CompareCase{"FolderBeforeFileByNameDescending", 0, false, row("a", ""), row("z", "1"), -1},
        CompareCase{"FoldersByName", 0, true, row("b", ""), row("a", ""), 1},
        CompareCase{"FoldersByNameDescending", 0, false, row("b", ""), row("a", ""), -1},
        CompareCase{"FoldersEqualBySize", 2, true, row("b", ""), row("a", ""), 0}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    TextColumns, RowComparison,
    ::testing::Values(
        // Case-sensitive bytes: capitals before small letters.
        CompareCase{"CapitalsBeforeSmallLetters", 0, true, row("B", "1"), row("a", "1"), -1},
        CompareCase{"CapitalsBeforeSmallLettersDescending", 0, false, row("B", "1"), row("a", "1"),
                    1},
        CompareCase{"PrefixFirst", 0, true, row("a", "1"), row("ab", "1"), -1},
        CompareCase{"SameName", 0, true, row("same", "1"), row("same", "2"), 0},
        // GBK orders Chinese by pronunciation (啊 B0A1 before 中 D6D0), where UTF-16 would
        // put 中 (4E2D) before 啊 (554A).
        CompareCase{"ChineseByGbk", 0, true, row("啊", "1"), row("中", "1"), -1},
        // Bytes are unsigned: ASCII before the lead byte of any Chinese character.
        CompareCase{"AsciiBeforeChinese", 0, true, row("z", "1"), row("中", "1"), -1},
        CompareCase{"DatesAsText", 1, true, row("a", "1", "Dec 07 10:22"),
                    row("b", "1", "Mar 05  2013"), -1},
        CompareCase{"DatesAsTextDescending", 1, false, row("a", "1", "Dec 07 10:22"),
                    row("b", "1", "Mar 05  2013"), 1},
        CompareCase{"Permissions", 3, true, names({"a", "d", "1", "rwx"}),
                    names({"b", "d", "1", "r--"}), 1},
        // A column a row does not have reads as empty text.
        CompareCase{"MissingColumnIsEmpty", 7, true, row("a", "1"),
                    names({"b", "", "1", "", "", "", "", "x"}), -1}),
    caseName);

TEST(ColumnSortOrder, ParentRowStaysOnTopInBothDirections)
{
    const QList<QStringList> rows = {row("..", ""), row("!first", ""), row("zeta", ""),
                                     row(" blank", "1"), row("a", "2")};
    EXPECT_EQ(namesInOrder(sortedBy(0, true), rows),
              names({"..", "!first", "zeta", " blank", "a"}));
    EXPECT_EQ(namesInOrder(sortedBy(0, false), rows),
              names({"..", "zeta", "!first", "a", " blank"}));
    EXPECT_EQ(namesInOrder(sortedBy(2, false), rows),
              names({"..", "!first", "zeta", "a", " blank"}));
}

TEST(ColumnSortOrder, OnlyAFirstParentRowIsPinned)
{
    const QList<QStringList> rows = {row("b", ""), row("..", ""), row("a", "")};
    EXPECT_EQ(namesInOrder(sortedBy(0, false), rows), names({"b", "a", ".."}));
}

TEST(ColumnSortOrder, SizesByValueFoldersAboveFiles)
{
    const QList<QStringList> rows = {
        row("..", ""),       row("docs", ""),     row("big", "2.00GB"), row("mid", "900.00MB"),
        row("tiny", "1023"), row("kb", "1.00KB"), row("pub", "")};
    EXPECT_EQ(namesInOrder(sortedBy(2, true), rows),
              names({"..", "docs", "pub", "tiny", "kb", "mid", "big"}));
    EXPECT_EQ(namesInOrder(sortedBy(2, false), rows),
              names({"..", "docs", "pub", "big", "mid", "kb", "tiny"}));
}

TEST(ColumnSortOrder, EqualRowsKeepTheirOrder)
{
    const QList<QStringList> rows = {row("first", "1.99MB"), row("second", "1.01MB"),
                                     row("third", "1.50MB"), row("small", "1.00KB")};
    EXPECT_EQ(namesInOrder(sortedBy(2, true), rows), names({"small", "first", "second", "third"}));
    EXPECT_EQ(namesInOrder(sortedBy(2, false), rows), names({"first", "second", "third", "small"}));
}

TEST(ColumnSortOrder, EmptyAndSingleLists)
{
    const ColumnSort sort = sortedBy(0, true);
    EXPECT_TRUE(sort.order({}).isEmpty());
    EXPECT_EQ(sort.order({row("..", "")}), QList<qsizetype>{0});
}

TEST(ColumnSortOrder, SortsRowsOfAnyType)
{
    QList<CListItem> items;
    for (const char* line : {"-rw-r--r-- 1 ftp ftp 2048 Mar 05 14:22 two.bin",
                             "drwxr-xr-x 2 ftp ftp 4096 Mar 05 14:22 pub",
                             "-rw-r--r-- 1 ftp ftp 5368709120 Mar 05 14:22 big.iso",
                             "-rw-r--r-- 1 ftp ftp 10 Mar 05 14:22 ten.txt"}) {
        CListItem item;
        ASSERT_TRUE(item.Parse(QString::fromUtf8(line)));
        items.append(item);
    }
    const auto texts = [](const CListItem& item) {
        return QStringList{item.name, item.date, item.size, item.permissions};
    };
    sortedBy(2, false).sort(items, texts);
    QStringList order;
    for (const CListItem& item : items)
        order.append(item.name);
    EXPECT_EQ(order, names({"pub", "big.iso", "two.bin", "ten.txt"}));
}

} // namespace
