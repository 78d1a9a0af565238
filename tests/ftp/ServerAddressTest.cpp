#include "ftp/ServerAddress.h"

#include "support/NamedCases.h"

#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

struct AddressCase {
    const char* name;
    const char* text;
    TlsMode mode;
    const char* host;
    int port; // 0: none written
    const char* shown;
};

class UsableAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(UsableAddressTest, GivesModeHostAndPortAndShowsItBack)
{
    QString error;
    const auto address = ServerAddress::parse(QString::fromUtf8(GetParam().text), error);
    ASSERT_TRUE(address) << error.toStdString();
    EXPECT_EQ(address->tlsMode, GetParam().mode);
    EXPECT_EQ(address->host, QString::fromUtf8(GetParam().host));
    EXPECT_EQ(address->port.value_or(0), GetParam().port);
    EXPECT_EQ(address->protocol == RemoteProtocol::Sftp,
              QString::fromUtf8(GetParam().text).contains(QLatin1String("sftp://")));
    EXPECT_EQ(address->text(), QString::fromUtf8(GetParam().shown));
    const auto again = ServerAddress::parse(address->text(), error);
    ASSERT_TRUE(again) << error.toStdString();
    EXPECT_EQ(again->text(), address->text());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, UsableAddressTest,
    ::testing::Values(
        AddressCase{"BareName", "example.com", TlsMode::Opportunistic, "example.com", 0,
                    "example.com"},
        AddressCase{"Plain", "ftp://example.com", TlsMode::Plain, "example.com", 0,
                    "ftp://example.com"},
        AddressCase{"Required", "ftpes://example.com/", TlsMode::Required, "example.com", 0,
                    "ftpes://example.com"},
        AddressCase{"SchemeInCapitals", "FTPES://Example.com", TlsMode::Required, "Example.com", 0,
                    "ftpes://Example.com"},
        AddressCase{"BlanksAround", "  ftp://h  ", TlsMode::Plain, "h", 0, "ftp://h"},
        AddressCase{"PortAfterName", "h:2121", TlsMode::Opportunistic, "h", 2121, "h:2121"},
        AddressCase{"RequiredWithPort", "ftpes://h:990", TlsMode::Required, "h", 990,
                    "ftpes://h:990"},
        AddressCase{"Ipv4", "ftp://127.0.0.1:21/", TlsMode::Plain, "127.0.0.1", 21,
                    "ftp://127.0.0.1:21"},
        AddressCase{"BareIpv6", "::1", TlsMode::Opportunistic, "::1", 0, "::1"},
        AddressCase{"BracketedIpv6", "[fe80::1]", TlsMode::Opportunistic, "fe80::1", 0, "fe80::1"},
        AddressCase{"Ipv6WithPort", "[::1]:2121", TlsMode::Opportunistic, "::1", 2121,
                    "[::1]:2121"},
        AddressCase{"Ipv6WithScheme", "ftpes://[2001:db8::7]", TlsMode::Required, "2001:db8::7", 0,
                    "ftpes://[2001:db8::7]"},
        AddressCase{"ChineseName", "ftp://文件.中国", TlsMode::Plain, "文件.中国", 0,
                    "ftp://文件.中国"},
        AddressCase{"Sftp", "sftp://[::1]:2222/", TlsMode::Plain, "::1", 2222,
                    "sftp://[::1]:2222"}),
    caseName);

struct JunkCase {
    const char* name;
    QString text;
    const char* reason; // part of the error
};

class JunkAddressTest : public ::testing::TestWithParam<JunkCase> {};

TEST_P(JunkAddressTest, IsRefusedWithAOneLineReason)
{
    QString error;
    EXPECT_FALSE(ServerAddress::parse(GetParam().text, error));
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().reason))) << error.toStdString();
    EXPECT_FALSE(error.contains(u'\n'));
}

INSTANTIATE_TEST_SUITE_P(
    Junk, JunkAddressTest,
    ::testing::Values(JunkCase{"Empty", QString(), "请填入服务器地址"},
                      JunkCase{"Blanks", QStringLiteral("   "), "请填入服务器地址"},
                      JunkCase{"SchemeOnly", QStringLiteral("ftpes://"), "请填入服务器地址"},
                      JunkCase{"ImplicitTls", QStringLiteral("ftps://h"), "ftpes://"},
                      JunkCase{"Http", QStringLiteral("http://h"), "ftpes://"},
                      JunkCase{"UserInside", QStringLiteral("ftp://alice@h"), "用户名"},
                      JunkCase{"Path", QStringLiteral("ftp://h/pub"), "路径"},
                      JunkCase{"PortZero", QStringLiteral("h:0"), "端口"},
                      JunkCase{"PortTooLarge", QStringLiteral("ftpes://h:65536"), "端口"},
                      JunkCase{"PortNotANumber", QStringLiteral("h:ftp"), "端口"},
                      JunkCase{"PortSigned", QStringLiteral("h:+21"), "端口"},
                      JunkCase{"PortMissing", QStringLiteral("h:"), "端口"},
                      JunkCase{"UnclosedBracket", QStringLiteral("[::1"), "]"},
                      JunkCase{"JunkAfterBracket", QStringLiteral("[::1]x"), "无效"},
                      JunkCase{"NotIpv6InBrackets", QStringLiteral("[example.com]"), "IPv6"},
                      JunkCase{"ColonOnlyInBrackets", QStringLiteral("[:]"), "IPv6"},
                      JunkCase{"EmptyBrackets", QStringLiteral("[]:21"), "IPv6"},
                      JunkCase{"BareIpv6Junk", QStringLiteral("fe80::zz"), "IPv6"},
                      JunkCase{"ArabicDigitsInIpv6", QStringLiteral("[::١]"), "IPv6"},
                      JunkCase{"BlankInside", QStringLiteral("ex ample.com"), "字符"},
                      JunkCase{"InvisibleInside", QStringLiteral("ex\u200dample.com"), "字符"},
                      JunkCase{"CommandInjection", QStringLiteral("h\r\nDELE x"), "字符"},
                      JunkCase{"NulInside", QStringLiteral("h") + QChar(0) + QStringLiteral("x"),
                               "字符"},
                      JunkCase{"TooLong", QString(300, u'a'), "太长"}),
    caseName);

} // namespace
