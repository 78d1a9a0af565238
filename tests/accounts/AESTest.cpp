#include "accounts/AES.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

AES::Key keyFrom(const char* digits)
{
    const QByteArray bytes = hex(digits);
    AES::Key key{};
    std::memcpy(key.data(), bytes.constData(), key.size());
    return key;
}

AES::Block blockFrom(const QByteArray& bytes)
{
    AES::Block block{};
    std::memcpy(block.data(), bytes.constData(), block.size());
    return block;
}

QByteArray bytesOf(const AES::Block& block)
{
    return QByteArray(reinterpret_cast<const char*>(block.data()), AES::BlockSize);
}

QByteArray encryptBlocks(const AES& cipher, const QByteArray& plain)
{
    QByteArray out;
    for (qsizetype offset = 0; offset < plain.size(); offset += AES::BlockSize)
        out += bytesOf(cipher.encryptBlock(blockFrom(plain.mid(offset, AES::BlockSize))));
    return out;
}

struct KnownAnswer {
    const char* name;
    const char* key;
    const char* plain;
    const char* cipher;
};

// FIPS-197 appendix B and C.1, and the first two ECB-AES128 blocks of SP 800-38A F.1.1.
const KnownAnswer KnownAnswers[] = {
    {"Fips197AppendixB", "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"Fips197AppendixC1", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"Sp80038aBlock1", "2b7e151628aed2a6abf7158809cf4f3c", "6bc1bee22e409f96e93d7e117393172a",
     "3ad77bb40d7a3660a89ecaf32466ef97"},
    {"Sp80038aBlock2", "2b7e151628aed2a6abf7158809cf4f3c", "ae2d8a571e03ac9c9eb76fac45af8e51",
     "f5d3d58503b9699de785895a96fdbaaf"},
};

class AESKnownAnswerTest : public testing::TestWithParam<KnownAnswer> {};

TEST_P(AESKnownAnswerTest, EnciphersAndDeciphersTheBlock)
{
    const AES cipher(keyFrom(GetParam().key));
    const AES::Block plain = blockFrom(hex(GetParam().plain));
    const AES::Block expected = blockFrom(hex(GetParam().cipher));
    EXPECT_EQ(cipher.encryptBlock(plain), expected);
    EXPECT_EQ(cipher.decryptBlock(expected), plain);
}

INSTANTIATE_TEST_SUITE_P(Vectors, AESKnownAnswerTest, testing::ValuesIn(KnownAnswers), caseName);

TEST(AESTest, DecryptTextDeciphersEveryBlockIndependently)
{
    const AES cipher(keyFrom("2b7e151628aed2a6abf7158809cf4f3c"));
    const QByteArray cipherText =
        hex("3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf");
    EXPECT_EQ(cipher.DecryptText(cipherText),
              hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"));
}

struct UnitLength {
    const char* name;
    int textLength;
    int cipherLength;
};

class AESUnitLengthTest : public testing::TestWithParam<UnitLength> {};

TEST_P(AESUnitLengthTest, PadsWithANulAndOneToSixteenZeros)
{
    AES cipher;
    const QByteArray text(GetParam().textLength, 'x');
    const QByteArray& unit = cipher.EncryptText(text);
    EXPECT_EQ(unit.size(), GetParam().cipherLength);
    EXPECT_EQ(cipher.DecryptText(unit), text);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, AESUnitLengthTest,
    testing::Values(UnitLength{"Empty", 0, 16}, UnitLength{"OneByte", 1, 16},
                    UnitLength{"FourteenBytes", 14, 16}, UnitLength{"FifteenBytes", 15, 32},
                    UnitLength{"SixteenBytes", 16, 32}, UnitLength{"ThirtyBytes", 30, 32},
                    UnitLength{"ThirtyOneBytes", 31, 48}, UnitLength{"HundredBytes", 100, 112}),
    caseName);

TEST(AESTest, FifteenCharactersGiveTwoEncipheredBlocks)
{
    AES cipher(keyFrom("000102030405060708090a0b0c0d0e0f"));
    const QByteArray text = "fifteen-chars!!";
    ASSERT_EQ(text.size(), 15);
    const QByteArray unit = cipher.EncryptText(text);
    ASSERT_EQ(unit.size(), 32);
    EXPECT_EQ(unit, encryptBlocks(cipher, text + QByteArray(17, '\0')));
    EXPECT_NE(unit.mid(16), QByteArray(16, '\0')) << "the all-zero block is enciphered too";
    EXPECT_EQ(cipher.DecryptText(unit), text);
}

TEST(AESTest, TextEndsAtItsFirstNul)
{
    AES cipher;
    const QByteArray withNul("ab\0cd", 5);
    const QByteArray expected = cipher.EncryptText("ab");
    EXPECT_EQ(cipher.EncryptText(withNul), expected);
}

TEST(AESTest, DecryptTextDropsNulBytesWherever)
{
    const AES cipher;
    const QByteArray plain =
        QByteArray("a\0b\0\0c", 6) + QByteArray(10, '\0') + QByteArray("\0d\0e", 4);
    const QByteArray padded = plain + QByteArray(32 - plain.size(), '\0');
    EXPECT_EQ(cipher.DecryptText(encryptBlocks(cipher, padded)), "abcde");
}

TEST(AESTest, DecryptTextIgnoresBytesAfterTheLastWholeBlock)
{
    AES cipher;
    const QByteArray unit = cipher.EncryptText("account");
    EXPECT_EQ(cipher.DecryptText(unit + "tail"), "account");
    EXPECT_EQ(cipher.DecryptText(unit.left(15)), QByteArray());
    EXPECT_EQ(cipher.DecryptText(QByteArray()), QByteArray());
}

TEST(AESTest, OutputBufferBelongsToTheObjectAndIsOverwritten)
{
    AES cipher;
    const QByteArray& first = cipher.EncryptText("short");
    const QByteArray firstCopy = first;
    const QByteArray& second = cipher.EncryptText(QByteArray(40, 'y'));
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second.size(), 48);
    EXPECT_NE(second.left(16), firstCopy);
}

TEST(AESTest, ProgramKeyIsFixed)
{
    // Worked out independently with `openssl enc -aes-128-ecb -nopad`: changing the key would
    // make every saved account and queue file unreadable.
    AES cipher;
    EXPECT_EQ(cipher.EncryptText("list.dat"), hex("bab54b6a5477c1ec43ae31fdd8545e7a"));
    EXPECT_EQ(AES().EncryptText(QByteArray()), hex("dc70a8a5a10efbb2a51b222269153b5b"));
}

TEST(AESTest, OtherKeyCannotReadTheText)
{
    AES cipher;
    const QByteArray unit = cipher.EncryptText("secret password");
    EXPECT_NE(AES(keyFrom("000102030405060708090a0b0c0d0e0f")).DecryptText(unit),
              "secret password");
    EXPECT_EQ(AES().DecryptText(unit), "secret password");
}

} // namespace
