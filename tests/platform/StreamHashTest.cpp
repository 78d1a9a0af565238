#include "platform/StreamHash.h"
#include "support/NamedCases.h"
#include "support/TemporaryFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;
using Algorithm = StreamHash::Algorithm;

struct DigestCase {
    const char* name;
    Algorithm algorithm;
    const char* digestOfAbc;
};

class StreamHashDigest : public testing::TestWithParam<DigestCase> {};

// Fed in pieces, from a file's first bytes, or at once: the same digest.
TEST_P(StreamHashDigest, IsTheKnownValueHoweverTheBytesArrive)
{
    StreamHash whole(GetParam().algorithm);
    whole.addData("abc", 3);
    EXPECT_EQ(whole.hex(), QString::fromLatin1(GetParam().digestOfAbc));

    StreamHash pieces(GetParam().algorithm);
    pieces.addData("xy", 2);
    pieces.reset();
    pieces.addData("a", 1);
    pieces.addData("bc", 2);
    EXPECT_EQ(pieces.hex(), whole.hex());

    TemporaryFolder folder(QStringLiteral("hash"));
    QFile file(folder.filePath(QStringLiteral("f")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abcdef");
    file.close();
    StreamHash prefix(GetParam().algorithm);
    ASSERT_TRUE(prefix.addFile(file.fileName(), 3));
    EXPECT_EQ(prefix.hex(), whole.hex());
    EXPECT_FALSE(prefix.addFile(file.fileName(), 7)); // longer than the file
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, StreamHashDigest,
    testing::Values(DigestCase{"Sha256", Algorithm::Sha256,
                               "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                    DigestCase{"Sha1", Algorithm::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
                    DigestCase{"Md5", Algorithm::Md5, "900150983cd24fb0d6963f7d28e17f72"},
                    DigestCase{"Crc32", Algorithm::Crc32, "352441c2"}),
    caseName);

TEST(StreamHash, NamesRoundTripAndUnknownNamesAreRefused)
{
    for (Algorithm algorithm :
         {Algorithm::Sha256, Algorithm::Sha1, Algorithm::Md5, Algorithm::Crc32})
        EXPECT_EQ(StreamHash::fromName(StreamHash::name(algorithm).toLower()), algorithm);
    EXPECT_FALSE(StreamHash::fromName(QStringLiteral("SHA-512")));
}

} // namespace
