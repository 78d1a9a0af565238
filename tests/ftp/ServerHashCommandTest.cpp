#include "ftp/ServerHashCommand.h"
#include "ftp/ServerFeatures.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

QString feat(const char* lines)
{
    return QStringLiteral("211-Features:\r\n") + QString::fromLatin1(lines) +
           QStringLiteral("211 End\r\n");
}

struct ChoiceCase {
    const char* name;
    const char* features;
    const char* selection; // "" when nothing is chosen first; nullptr: no command at all
    const char* request;
};

class HashChoice : public testing::TestWithParam<ChoiceCase> {};

TEST_P(HashChoice, TakesTheStrongestOffered)
{
    const auto command =
        ServerHashCommand::choose(ServerFeatures::parse(feat(GetParam().features)));
    ASSERT_EQ(command.has_value(), GetParam().selection != nullptr);
    if (!command)
        return;
    EXPECT_EQ(command->needsSelection ? command->selection() : QString(),
              QString::fromLatin1(GetParam().selection));
    EXPECT_EQ(command->request(QStringLiteral("a b.bin")), QString::fromLatin1(GetParam().request));
}

INSTANTIATE_TEST_SUITE_P(
    Features, HashChoice,
    testing::Values(ChoiceCase{"None", " MDTM\r\n SIZE\r\n", nullptr, ""},
                    ChoiceCase{"HashCurrentSha256", " HASH SHA-1;SHA-256*;MD5\r\n", "",
                               "HASH a b.bin"},
                    ChoiceCase{"HashChoosesSha256", " HASH SHA-1*;SHA-256;MD5;CRC32\r\n",
                               "OPTS HASH SHA-256", "HASH a b.bin"},
                    ChoiceCase{"OldCommandsStrongestFirst",
                               " XCRC\r\n XMD5\r\n XSHA256\r\n XSHA1\r\n", "", "XSHA256 a b.bin"},
                    ChoiceCase{"StrongerOldCommandBeatsWeakHash", " HASH MD5*\r\n XSHA1\r\n", "",
                               "XSHA1 a b.bin"},
                    ChoiceCase{"UnknownAlgorithmsOnly", " HASH SHA-512*;BLAKE2\r\n", nullptr, ""}),
    caseName);

struct ReplyCase {
    const char* name;
    const char* features;
    const char* reply;
    const char* digest; // nullptr: no digest in the reply
};

class HashReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(HashReply, YieldsTheDigestInLowerCase)
{
    const auto command =
        ServerHashCommand::choose(ServerFeatures::parse(feat(GetParam().features)));
    ASSERT_TRUE(command);
    const auto digest = command->digestIn(QString::fromLatin1(GetParam().reply));
    ASSERT_EQ(digest.has_value(), GetParam().digest != nullptr);
    EXPECT_EQ(digest.value_or(QString()), QString::fromLatin1(GetParam().digest));
}

const char* const sha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";

INSTANTIATE_TEST_SUITE_P(
    Replies, HashReply,
    testing::Values(
        ReplyCase{"Hash", " HASH SHA-1*\r\n",
                  "213 SHA-1 0-3 A9993E364706816ABA3E25717850C26C9CD0D89D f.bin", sha1},
        ReplyCase{"HashOfAPart", " HASH SHA-1*\r\n",
                  "213 SHA-1 2-3 a9993e364706816aba3e25717850c26c9cd0d89d f.bin", nullptr},
        ReplyCase{"Refused", " HASH SHA-1*\r\n", "550 f.bin: No such file", nullptr},
        ReplyCase{"OldCommand", " XSHA1\r\n", "250 a9993e364706816aba3e25717850c26c9cd0d89d", sha1},
        ReplyCase{"ShortCrc", " XCRC\r\n", "250 52441C2", "052441c2"}),
    caseName);

} // namespace
