#include "archive/ArchiveRequest.h"

#include "support/NamedCases.h"

#include <gtest/gtest.h>

using namedcases::caseName;
using namedcases::operator<<;

namespace {

struct ExtensionCase {
    const char* name;
    QString file;
    bool archive;
};

class ArchiveExtensions : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(ArchiveExtensions, DecideWhetherExtractIsOffered)
{
    EXPECT_EQ(ArchiveRequest::hasArchiveExtension(GetParam().file), GetParam().archive);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ArchiveExtensions,
    ::testing::Values(ExtensionCase{"UpperCaseZip", QStringLiteral("data.ZIP"), true},
                      ExtensionCase{"Tar", QStringLiteral("x.tar"), true},
                      ExtensionCase{"SevenZipWithDash", QStringLiteral("s.7-ZIP"), true},
                      ExtensionCase{"LastDotCounts", QStringLiteral("a.tar.gz"), false},
                      ExtensionCase{"SevenZ", QStringLiteral("b.7z"), false},
                      ExtensionCase{"NoDot", QStringLiteral("README"), false},
                      ExtensionCase{"ZipInTheMiddle", QStringLiteral("a.zip.txt"), false}),
    caseName);

TEST(ArchiveRequest, FullPathsJoinOnceAndPutTheServUUserInFront)
{
    EXPECT_EQ(ArchiveRequest::fullPath(QStringLiteral("/in"), QStringLiteral("x.zip"), 2,
                                       QStringLiteral("bob")),
              QStringLiteral("/bob/in/x.zip"));
    EXPECT_EQ(ArchiveRequest::fullPath(QStringLiteral("/"), QStringLiteral("a.txt"), 1,
                                       QStringLiteral("bob")),
              QStringLiteral("/a.txt"));
}

TEST(ArchiveRequest, MessageIsGbk)
{
    const QString request = ArchiveRequest::compressText({QStringLiteral("/pub/文件.txt")});
    EXPECT_EQ(ArchiveRequest::message(QStringLiteral("alice"), request),
              QByteArray("UID:alice\rPASS:740316\rA\r/pub/\xCE\xC4\xBC\xFE.txt\r"));
}

} // namespace
