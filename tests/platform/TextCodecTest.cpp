#include "platform/TextCodec.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

TEST(TextCodec, ChineseHasItsCodePage936Bytes)
{
    EXPECT_EQ(TextCodec::toGbk(text("中文测试")), QByteArray("\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4"));
    EXPECT_EQ(TextCodec::fromGbk("\xC4\xBF\xC2\xBC"), text("目录"));
}

struct RoundTripText {
    const char* name;
    const char* text; // UTF-8
};

class TextCodecRoundTrip : public ::testing::TestWithParam<RoundTripText> {};

TEST_P(TextCodecRoundTrip, GbkKeepsEveryCharacter)
{
    const QString original = text(GetParam().text);
    EXPECT_EQ(TextCodec::fromGbk(TextCodec::toGbk(original)), original);
}

TEST_P(TextCodecRoundTrip, Utf8KeepsEveryCharacter)
{
    const TextCodec codec(TextCodec::Encoding::Utf8);
    const QString original = text(GetParam().text);
    EXPECT_EQ(codec.encode(original), original.toUtf8());
    EXPECT_EQ(codec.decode(codec.encode(original)), original);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextCodecRoundTrip,
    ::testing::Values(RoundTripText{"Empty", ""}, RoundTripText{"PlainAscii", "plain ascii 123"},
                      RoundTripText{"DownloadDone", "下载完成"}, RoundTripText{"Waiting", "等待中"},
                      RoundTripText{"ChinesePath", "/home/用户/文档/ftpwork/"},
                      RoundTripText{"FullWidthPunctuation", "全角：，。！？（）"},
                      RoundTripText{"ChineseAmongLatin", "mixed 中文 and latin"},
                      RoundTripText{"EuroSign", "€"},
                      RoundTripText{"TraditionalChinese", "繁體字也在GBK裡"}),
    caseName);

TEST(TextCodec, GbkIsTheDefaultEncoding)
{
    const TextCodec codec;
    EXPECT_EQ(codec.encoding(), TextCodec::Encoding::Gbk);
    EXPECT_EQ(codec.encode(text("中")), QByteArray("\xD6\xD0"));
    EXPECT_EQ(codec.decode("\xD6\xD0"), text("中"));
}

TEST(TextCodec, EncodingCanBeSwitched)
{
    TextCodec codec;
    codec.setEncoding(TextCodec::Encoding::Utf8);
    EXPECT_EQ(codec.encode(text("中")), QByteArray("\xE4\xB8\xAD"));
}

struct InvalidBytesCase {
    const char* name;
    QByteArray bytes;
    QString expected;
};

class TextCodecInvalidBytes : public ::testing::TestWithParam<InvalidBytesCase> {};

TEST_P(TextCodecInvalidBytes, AreReplacedAndDecodingGoesOn)
{
    EXPECT_EQ(TextCodec::fromGbk(GetParam().bytes), GetParam().expected);
}

const QChar replacement = QChar::ReplacementCharacter;

INSTANTIATE_TEST_SUITE_P(
    Cases, TextCodecInvalidBytes,
    ::testing::Values(
        InvalidBytesCase{"LeadByteAtEnd", "ab\xD6", QStringLiteral("ab") + replacement},
        InvalidBytesCase{"LeadByteBeforeAscii", "a\xD6 b",
                         QStringLiteral("a") + replacement + QStringLiteral(" b")},
        InvalidBytesCase{"ByteFF", "\xFFx", replacement + QStringLiteral("x")},
        InvalidBytesCase{"InvalidThenChinese", "\xFF\xD6\xD0", replacement + text("中")},
        InvalidBytesCase{"NulIsKept", QByteArray("a\0b", 3),
                         QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")}),
    caseName);

struct UnmappableCase {
    const char* name;
    QString text;
    QByteArray expected;
};

class TextCodecUnmappable : public ::testing::TestWithParam<UnmappableCase> {};

TEST_P(TextCodecUnmappable, BecomesOneQuestionMarkPerCharacter)
{
    EXPECT_EQ(TextCodec::toGbk(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextCodecUnmappable,
    ::testing::Values(UnmappableCase{"Thai", text("a\xE0\xB8\x81z"), "a?z"},
                      UnmappableCase{"Emoji", text("a\xF0\x9F\x98\x80z"), "a?z"},
                      UnmappableCase{"TwoEmoji", text("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"), "??"},
                      UnmappableCase{"LoneHighSurrogate", QString(QChar(0xD83D)) + u'z', "?z"},
                      UnmappableCase{"LoneLowSurrogate", u'a' + QString(QChar(0xDE00)), "a?"},
                      UnmappableCase{"ChineseAroundEmoji", text("中\xF0\x9F\x98\x80文"),
                                     "\xD6\xD0?\xCE\xC4"}),
    caseName);

// Listings carry names in whatever bytes the server keeps; a wire codec must hand every one of
// them back unchanged, whichever encoding it reads them in.
TEST(TextCodecWire, EveryByteStringSurvivesDecodeAndEncodeInBothEncodings)
{
    std::mt19937 random(936);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 24);
    for (TextCodec::Encoding encoding : {TextCodec::Encoding::Gbk, TextCodec::Encoding::Utf8}) {
        const TextCodec codec(encoding);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            for (int i = length(random); i > 0; --i)
                bytes += static_cast<char>(byte(random));
            ASSERT_EQ(codec.encode(codec.decode(bytes)), bytes)
                << "encoding " << static_cast<int>(encoding) << " bytes "
                << bytes.toHex().toStdString();
        }
    }
}

TEST(TextCodecUtf8Validity, IsDecidedStrictly)
{
    for (const char* bytes : {"", "pub/readme.txt", "\xE4\xB8\xAD\xE6\x96\x87", "\xF0\x9F\x98\x80"})
        EXPECT_TRUE(TextCodec::isValidUtf8(bytes)) << QByteArray(bytes).toHex().toStdString();
    // GBK; cut short; overlong in two and in three bytes; a surrogate; above U+10FFFF; a lone
    // continuation byte.
    for (const char* bytes : {"\xD6\xD0\xCE\xC4", "\xE4\xB8", "\xC0\xAF", "\xE0\x80\xAF",
                              "\xED\xB2\x80", "\xF4\x90\x80\x80", "a\x80"})
        EXPECT_FALSE(TextCodec::isValidUtf8(bytes)) << QByteArray(bytes).toHex().toStdString();
}

} // namespace
