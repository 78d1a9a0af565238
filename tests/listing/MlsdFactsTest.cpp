#include "listing/CListItem.h"
#include "support/NamedCases.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

struct FactsCase {
    const char* name;
    const char* line; // UTF-8
    bool accepted;
    bool isFolder;
    bool isLink;
    const char* entry;
    const char* date; // in Asia/Shanghai, eight hours ahead of UTC
    const char* size;
    quint64 bytes;
    bool exactSize;
};

class MachineListingLines : public ::testing::TestWithParam<FactsCase> {
protected:
    void SetUp() override
    {
        zone.set("TZ", "Asia/Shanghai");
        tzset();
    }
    void TearDown() override { tzset(); }

    ScopedEnvironment zone;
};

TEST_P(MachineListingLines, GiveTheEntry)
{
    const FactsCase& c = GetParam();
    CListItem item;
    ASSERT_EQ(item.Parse(QString::fromUtf8(c.line)), c.accepted);
    if (!c.accepted)
        return;
    EXPECT_EQ(item.isFolder, c.isFolder);
    EXPECT_EQ(item.isLink, c.isLink);
    EXPECT_EQ(item.name, QString::fromUtf8(c.entry));
    EXPECT_EQ(item.date, QString::fromUtf8(c.date));
    EXPECT_EQ(item.size, QString::fromUtf8(c.size));
    EXPECT_EQ(item.bytes, c.bytes);
    EXPECT_EQ(item.exactSize, c.exactSize);
    EXPECT_TRUE(item.permissions.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Facts, MachineListingLines,
    ::testing::Values(
        FactsCase{"FileWithSizeAndTime", "type=file;size=4096;modify=20240305142200;perm=r; a.txt",
                  true, false, false, "a.txt", "2024-03-05 22:22", "4.00KB", 4096, true},
        FactsCase{"FileWithoutSize", "type=file;modify=20231231235959.123; b.bin", true, false,
                  false, "b.bin", "2024-01-01 07:59", "", 0, false},
        FactsCase{"FileWithoutTime", "type=file;size=12; c", true, false, false, "c", "", "12", 12,
                  true},
        FactsCase{"FactNamesInCapitals", "Type=File;Size=5;Modify=20240101000000; D", true, false,
                  false, "D", "2024-01-01 08:00", "5", 5, true},
        FactsCase{"Folder", "type=dir;sizd=4096;modify=20240305142200; pub", true, true, false,
                  "pub", "2024-03-05 22:22", "", 0, false},
        FactsCase{"FolderItselfReadsAsDot", "type=cdir;modify=20240305142200; /pub", true, true,
                  false, ".", "", "", 0, false},
        FactsCase{"ParentReadsAsDotDot", "type=pdir; /", true, true, false, "..", "", "", 0, false},
        FactsCase{"NameWithBlanksAndSemicolons", "type=file;size=1;  two  blanks; x ", true, false,
                  false, " two  blanks; x ", "", "1", 1, true},
        FactsCase{"ChineseUtf8Name", "type=file;size=2048;modify=20240305142200; 数据 文件.txt",
                  true, false, false, "数据 文件.txt", "2024-03-05 22:22", "2.00KB", 2048, true},
        FactsCase{"Link", "type=OS.unix=slink:/etc;size=4; etc", true, false, true, "etc", "", "4",
                  4, false},
        FactsCase{"BrokenSizeIsNoSize", "type=file;size=12x; e", true, false, false, "e", "", "", 0,
                  false},
        FactsCase{"FactsWithoutName", "type=file;size=1;", false, false, false, "", "", "", 0,
                  false}),
    caseName);

} // namespace
