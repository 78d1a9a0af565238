#include "view/RemoteNameEncodings.h"

#include "support/NamedCases.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using namedcases::operator<<;
using namedcases::caseName;
using Encoding = TextCodec::Encoding;

const QByteArray utf8Line = "drwxr-xr-x 2 ftp ftp 4096 Mar 05 14:22 \xE4\xB8\xAD\xE6\x96\x87\r\n";
const QByteArray gbkLine = "drwxr-xr-x 2 ftp ftp 4096 Mar 05 14:22 \xD6\xD0\xCE\xC4\r\n";
const QByteArray asciiLine = "-rw-r--r-- 1 ftp ftp 12 Mar 05 14:22 readme.txt\r\n";

struct EncodingCase {
    const char* name;
    Encoding fallback;
    std::vector<std::pair<const char*, QByteArray>> listings; // folder, listing, in order
    const char* entry;
    Encoding expected;
};

class RemoteNameEncodingsTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(RemoteNameEncodingsTest, AnEntryTakesTheEncodingItsFolderWasListedIn)
{
    const EncodingCase& row = GetParam();
    RemoteNameEncodings encodings;
    encodings.setFallback(row.fallback);
    for (const auto& [folder, listing] : row.listings)
        encodings.settleListing(QString::fromUtf8(folder), listing);
    EXPECT_EQ(encodings.ofEntry(QString::fromUtf8(row.entry)), row.expected);
}

// How a listing of non-ASCII names decides is shown by the server scenarios; these are how the
// decisions combine along a path, and the folders that decide nothing themselves.
INSTANTIATE_TEST_SUITE_P(
    Cases, RemoteNameEncodingsTest,
    ::testing::Values(
        EncodingCase{"NothingListed", Encoding::Utf8, {}, "/pub/x", Encoding::Utf8},
        EncodingCase{"AsciiUnderUtf8",
                     Encoding::Gbk,
                     {{"/", gbkLine}, {"/pub/", utf8Line}, {"/pub/a/b", asciiLine}},
                     "/pub/a/b/新",
                     Encoding::Utf8},
        EncodingCase{"AsciiAlone", Encoding::Gbk, {{"/pub", asciiLine}}, "/pub/新", Encoding::Gbk},
        EncodingCase{"FolderItself",
                     Encoding::Gbk,
                     {{"/", utf8Line}, {"/中文", gbkLine}},
                     "/中文/",
                     Encoding::Utf8},
        EncodingCase{"ListedAgain",
                     Encoding::Gbk,
                     {{"/pub", utf8Line}, {"/pub", gbkLine}},
                     "/pub/x",
                     Encoding::Gbk}),
    caseName);

} // namespace
