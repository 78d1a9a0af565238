#include "platform/StreamHash.h"
#include "support/NamedCases.h"

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

// Fed in pieces after a reset: the digest of the whole.
TEST_P(StreamHashDigest, IsTheKnownValueHoweverTheBytesArrive)
{
    StreamHash hash(GetParam().algorithm);
    hash.addData("xy", 2);
    hash.reset();
    hash.addData("a", 1);
    hash.addData("bc", 2);
    EXPECT_EQ(hash.hex(), QString::fromLatin1(GetParam().digestOfAbc));
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, StreamHashDigest,
    testing::Values(DigestCase{"Sha256", Algorithm::Sha256,
                               "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                    DigestCase{"Sha1", Algorithm::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
                    DigestCase{"Md5", Algorithm::Md5, "900150983cd24fb0d6963f7d28e17f72"},
                    DigestCase{"Crc32", Algorithm::Crc32, "352441c2"}),
    caseName);

} // namespace
