#include "ftp/DataAddress.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

struct PasvCase {
    const char* name;
    const char* reply;
    bool valid;
    const char* host;
    int port;
};

class PasvReplyTest : public ::testing::TestWithParam<PasvCase> {};

TEST_P(PasvReplyTest, ParsesHostAndPortOrRejects)
{
    const PasvCase& c = GetParam();
    const std::optional<DataAddress> address =
        DataAddress::fromPasvReply(QString::fromLatin1(c.reply));
    ASSERT_EQ(address.has_value(), c.valid) << c.reply;
    if (c.valid) {
        EXPECT_EQ(address->host, QString::fromLatin1(c.host));
        EXPECT_EQ(address->port, c.port);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, PasvReplyTest,
    ::testing::Values(PasvCase{"Standard", "227 Entering Passive Mode (10,0,0,7,195,80)", true,
                               "10.0.0.7", 50000},
                      PasvCase{"TrailingDot", "227 Entering Passive Mode (10,0,0,7,195,80).", true,
                               "10.0.0.7", 50000},
                      PasvCase{"NumbersInParenthesesWin", "227 =127,0,0,1,4,1 (127,0,0,1,0,21)",
                               true, "127.0.0.1", 21},
                      PasvCase{"BlanksAroundNumbers", "227 ok ( 127, 0, 0, 1, 255, 255 )", true,
                               "127.0.0.1", 65535},
                      PasvCase{"NoParentheses", "227 Entering Passive Mode 10,0,0,7,195,80", false,
                               "", 0},
                      PasvCase{"NoClosingParenthesis", "227 Entering Passive Mode (10,0,0,7,195,80",
                               false, "", 0},
                      PasvCase{"ParenthesesReversed", "227 Entering Passive Mode )10,0,0,7,195,80(",
                               false, "", 0},
                      PasvCase{"FiveNumbers", "227 (10,0,0,7,195)", false, "", 0},
                      PasvCase{"SevenNumbers", "227 (10,0,0,7,195,80,1)", false, "", 0},
                      PasvCase{"ByteAbove255", "227 (10,0,0,256,195,80)", false, "", 0},
                      PasvCase{"NegativeByte", "227 (10,0,0,7,195,-1)", false, "", 0},
                      PasvCase{"LetterInByte", "227 (10,0,0,7,195,8x)", false, "", 0},
                      PasvCase{"EmptyByte", "227 (10,0,0,7,,80)", false, "", 0},
                      PasvCase{"PortZero", "227 (10,0,0,7,0,0)", false, "", 0},
                      PasvCase{"FourDigitByte", "227 (10,0,0,7,0999,80)", false, "", 0},
                      PasvCase{"EmptyParentheses", "227 ()", false, "", 0}),
    caseName);

struct EpsvCase {
    const char* name;
    const char* reply;
    bool valid;
    int port;
};

class EpsvReplyTest : public ::testing::TestWithParam<EpsvCase> {};

TEST_P(EpsvReplyTest, ParsesPortOrRejects)
{
    const EpsvCase& c = GetParam();
    const std::optional<DataAddress> address =
        DataAddress::fromEpsvReply(QString::fromLatin1(c.reply));
    ASSERT_EQ(address.has_value(), c.valid) << c.reply;
    if (c.valid) {
        EXPECT_EQ(address->port, c.port);
        EXPECT_TRUE(address->host.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, EpsvReplyTest,
    ::testing::Values(
        EpsvCase{"Standard", "229 Entering Extended Passive Mode (|||50000|)", true, 50000},
        EpsvCase{"OtherDelimiter", "229 ok (!!!2121!)", true, 2121},
        EpsvCase{"PortZero", "229 Entering Extended Passive Mode (|||0|)", false, 0},
        EpsvCase{"PortAbove65535", "229 Entering Extended Passive Mode (|||70000|)", false, 0},
        EpsvCase{"PortNotANumber", "229 Entering Extended Passive Mode (|||abc|)", false, 0},
        EpsvCase{"NoParentheses", "229 Entering Extended Passive Mode |||50000|", false, 0},
        EpsvCase{"TwoLeadingDelimiters", "229 (||50000|)", false, 0}),
    caseName);

TEST(DataAddressFormat, PortArgumentSplitsThePortIntoTwoBytes)
{
    EXPECT_EQ((DataAddress{QStringLiteral("192.168.1.5"), 3000}.toPortArgument()),
              QStringLiteral("192,168,1,5,11,184"));
    EXPECT_EQ((DataAddress{QStringLiteral("127.0.0.1"), 65535}.toPortArgument()),
              QStringLiteral("127,0,0,1,255,255"));
}

TEST(DataAddressFormat, PortArgumentNeedsNumericIpv4)
{
    EXPECT_TRUE((DataAddress{QStringLiteral("::1"), 3000}.toPortArgument().isEmpty()));
    EXPECT_TRUE((DataAddress{QStringLiteral("example.com"), 3000}.toPortArgument().isEmpty()));
    EXPECT_TRUE((DataAddress{QStringLiteral("1.2.3.400"), 3000}.toPortArgument().isEmpty()));
}

TEST(DataAddressFormat, EprtArgumentNamesTheFamily)
{
    EXPECT_EQ((DataAddress{QStringLiteral("::1"), 40000}.toEprtArgument()),
              QStringLiteral("|2|::1|40000|"));
    EXPECT_EQ((DataAddress{QStringLiteral("127.0.0.1"), 21}.toEprtArgument()),
              QStringLiteral("|1|127.0.0.1|21|"));
}

TEST(DataAddressFormat, PasvReplyOfAFormattedPortArgumentGivesItBack)
{
    const DataAddress original{QStringLiteral("127.0.0.1"), 50123};
    const std::optional<DataAddress> parsed = DataAddress::fromPasvReply(
        QStringLiteral("227 Entering Passive Mode (%1)").arg(original.toPortArgument()));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->host, original.host);
    EXPECT_EQ(parsed->port, original.port);
}

} // namespace
