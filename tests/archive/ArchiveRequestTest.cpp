#include "archive/ArchiveRequest.h"

#include <gtest/gtest.h>

namespace {

TEST(ArchiveRequest, ExtractIsOfferedForArchiveExtensionsOnly)
{
    const std::pair<const char*, bool> cases[] = {
        {"data.ZIP", true}, {"x.tar", true},   {"s.7-ZIP", true},   {"a.tar.gz", false},
        {"b.7z", false},    {"README", false}, {"a.zip.txt", false}};
    for (const auto& [file, archive] : cases)
        EXPECT_EQ(ArchiveRequest::hasArchiveExtension(QString::fromLatin1(file)), archive) << file;
}

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

// What GBK lacks would go out as "?", and a CR would split a path: refused before sending.
TEST(ArchiveRequest, NamesTheRequestCannotCarryAreRefused)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/pub/文件 é.txt", ""},
        {"/pub/한글파일.txt", "GBK 编码无法表示"},
        {"/pub/笑脸😀.txt", "GBK 编码无法表示"},
        {"/pub/a\r/pub/b", "回车、换行等控制字符"}};
    for (const auto& [path, why] : cases) {
        const QString reason =
            ArchiveRequest::whyUnsendable(QStringLiteral("alice"), {QString::fromUtf8(path)});
        EXPECT_EQ(reason.isEmpty(), !*why) << path;
        EXPECT_TRUE(reason.contains(QString::fromUtf8(why))) << path;
    }
    EXPECT_FALSE(ArchiveRequest::whyUnsendable(QStringLiteral("a\nb"), {}).isEmpty());
}

} // namespace
