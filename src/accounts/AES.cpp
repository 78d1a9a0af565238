#include "accounts/AES.h"

#include <cstring>

namespace {

using Byte = std::uint8_t;
using Table = std::array<Byte, 256>;

constexpr Byte xtime(Byte b)
{
    return static_cast<Byte>((b << 1) ^ ((b & 0x80) != 0 ? 0x1B : 0x00));
}

constexpr Byte multiply(Byte a, Byte b)
{
    Byte product = 0;
    for (; b != 0; b >>= 1) {
        if ((b & 1) != 0)
            product ^= a;
        a = xtime(a);
    }
    return product;
}

// b^254 is the multiplicative inverse in GF(2^8); it also maps 0 to 0 as the S-box requires.
constexpr Byte inverse(Byte b)
{
    Byte result = 1;
    Byte power = b;
    for (int exponent = 254; exponent != 0; exponent >>= 1) {
        if ((exponent & 1) != 0)
            result = multiply(result, power);
        power = multiply(power, power);
    }
    return result;
}

constexpr Byte rotateLeft(Byte b, int bits)
{
    return static_cast<Byte>((b << bits) | (b >> (8 - bits)));
}

constexpr Table makeSBox()
{
    Table box{};
    for (int i = 0; i < 256; ++i) {
        const Byte b = inverse(static_cast<Byte>(i));
        box[i] = static_cast<Byte>(b ^ rotateLeft(b, 1) ^ rotateLeft(b, 2) ^ rotateLeft(b, 3) ^
                                   rotateLeft(b, 4) ^ 0x63);
    }
    return box;
}

constexpr Table makeInverseBox(const Table& box)
{
    Table inverseBox{};
    for (int i = 0; i < 256; ++i)
        inverseBox[box[i]] = static_cast<Byte>(i);
    return inverseBox;
}

constexpr Table makeMultiples(Byte factor)
{
    Table multiples{};
    for (int i = 0; i < 256; ++i)
        multiples[i] = multiply(static_cast<Byte>(i), factor);
    return multiples;
}

constexpr Table SBox = makeSBox();
constexpr Table InverseSBox = makeInverseBox(SBox);
constexpr Table Times2 = makeMultiples(2);
constexpr Table Times3 = makeMultiples(3);
constexpr Table Times9 = makeMultiples(9);
constexpr Table Times11 = makeMultiples(11);
constexpr Table Times13 = makeMultiples(13);
constexpr Table Times14 = makeMultiples(14);
constexpr Byte RoundConstants[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};

// Round tables: the column that one byte contributes to after substitution and column mixing,
// rows 0 to 3 in the bytes of a word from the lowest up. Table k is table 0 turned k rows down.
using WordTable = std::array<std::uint32_t, 256>;

constexpr std::uint32_t word(Byte row0, Byte row1, Byte row2, Byte row3)
{
    return std::uint32_t(row0) | std::uint32_t(row1) << 8 | std::uint32_t(row2) << 16 |
           std::uint32_t(row3) << 24;
}

constexpr std::uint32_t turnDown(std::uint32_t w, int rows)
{
    return rows == 0 ? w : (w << (8 * rows)) | (w >> (32 - 8 * rows));
}

constexpr WordTable makeEncryptTable(int rows)
{
    WordTable table{};
    for (int i = 0; i < 256; ++i) {
        const Byte s = SBox[i];
        table[i] = turnDown(word(Times2[s], s, s, Times3[s]), rows);
    }
    return table;
}

constexpr WordTable makeDecryptTable(int rows)
{
    WordTable table{};
    for (int i = 0; i < 256; ++i) {
        const Byte s = InverseSBox[i];
        table[i] = turnDown(word(Times14[s], Times9[s], Times13[s], Times11[s]), rows);
    }
    return table;
}

constexpr WordTable Encrypt[4] = {makeEncryptTable(0), makeEncryptTable(1), makeEncryptTable(2),
                                  makeEncryptTable(3)};
constexpr WordTable Decrypt[4] = {makeDecryptTable(0), makeDecryptTable(1), makeDecryptTable(2),
                                  makeDecryptTable(3)};

static_assert(SBox[0x00] == 0x63 && SBox[0x53] == 0xED && InverseSBox[0x63] == 0x00);

using State = std::array<Byte, AES::BlockSize>; // byte r + 4c is row r, column c

void substitute(State& state, const Table& box)
{
    for (Byte& b : state)
        b = box[b];
}

// Row r moves r columns to the left when encrypting and back to the right when decrypting. The
// moves are fixed, so they are worked out once: the hot loop of a large file only copies.
using Shift = std::array<int, AES::BlockSize>;

constexpr Shift makeShift(bool inverseDirection)
{
    Shift from{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const int shift = inverseDirection ? (4 - row) % 4 : row;
            from[column * 4 + row] = ((column + shift) % 4) * 4 + row;
        }
    }
    return from;
}

constexpr Shift ShiftLeft = makeShift(false);
constexpr Shift ShiftRight = makeShift(true);

void shiftRows(State& state, bool inverseDirection)
{
    const State old = state;
    const Shift& from = inverseDirection ? ShiftRight : ShiftLeft;
    for (int i = 0; i < AES::BlockSize; ++i)
        state[i] = old[from[i]];
}

void inverseMixColumns(State& state)
{
    for (int c = 0; c < 16; c += 4) {
        const Byte a0 = state[c], a1 = state[c + 1], a2 = state[c + 2], a3 = state[c + 3];
        state[c] = Times14[a0] ^ Times11[a1] ^ Times13[a2] ^ Times9[a3];
        state[c + 1] = Times9[a0] ^ Times14[a1] ^ Times11[a2] ^ Times13[a3];
        state[c + 2] = Times13[a0] ^ Times9[a1] ^ Times14[a2] ^ Times11[a3];
        state[c + 3] = Times11[a0] ^ Times13[a1] ^ Times9[a2] ^ Times14[a3];
    }
}

// The words are kept apart and joined at run time so the key is not one contiguous literal in
// the binary. This hides it from a casual look only: whoever has the program can read the files.
AES::Key programKey()
{
    const std::uint32_t words[4] = {0x5A3C96E1u, 0x0F7B24D8u, 0xC1685EA3u, 0x9247B03Du};
    AES::Key key{};
    for (int i = 0; i < 16; ++i)
        key[i] = static_cast<Byte>(words[i / 4] >> (24 - 8 * (i % 4)));
    return key;
}

} // namespace

AES::AES() : AES(programKey()) {}

AES::AES(const Key& key)
{
    expandKey(key);
    prepareDecryptKeys();
}

void AES::expandKey(const Key& key)
{
    std::memcpy(roundKeys_.data(), key.data(), key.size());
    for (std::size_t i = key.size(); i < roundKeys_.size(); i += 4) {
        Byte word[4] = {roundKeys_[i - 4], roundKeys_[i - 3], roundKeys_[i - 2], roundKeys_[i - 1]};
        if (i % key.size() == 0) {
            const Byte first = word[0];
            word[0] = SBox[word[1]] ^ RoundConstants[i / key.size() - 1];
            word[1] = SBox[word[2]];
            word[2] = SBox[word[3]];
            word[3] = SBox[first];
        }
        for (std::size_t j = 0; j < 4; ++j)
            roundKeys_[i + j] = roundKeys_[i + j - key.size()] ^ word[j];
    }
}

std::uint32_t AES::roundKeyWord(int round, int column) const
{
    const Byte* key = roundKeys_.data() + round * BlockSize + 4 * column;
    return word(key[0], key[1], key[2], key[3]);
}

// Mixing a round key's columns the inverse way lets a decryption round add it after its own
// mixing, which is what makes the one-lookup rounds possible.
void AES::prepareDecryptKeys()
{
    for (int round = 0; round <= Rounds; ++round) {
        State key{};
        std::memcpy(key.data(), roundKeys_.data() + round * BlockSize, BlockSize);
        if (round != 0 && round != Rounds)
            inverseMixColumns(key);
        for (int c = 0; c < 4; ++c)
            decryptKeys_[4 * round + c] =
                word(key[4 * c], key[4 * c + 1], key[4 * c + 2], key[4 * c + 3]);
    }
}

void AES::addRoundKey(State& state, int round) const
{
    for (int i = 0; i < BlockSize; ++i)
        state[i] ^= roundKeys_[round * BlockSize + i];
}

// Each inner round is one table lookup per byte: substitution, row shift and column mixing
// folded together (the textbook steps, ten rounds of them, made large files slow to store).
AES::Block AES::encryptBlock(const Block& plain) const
{
    State state = plain;
    addRoundKey(state, 0);
    for (int round = 1; round < Rounds; ++round) {
        std::uint32_t columns[4];
        for (int c = 0; c < 4; ++c)
            columns[c] = Encrypt[0][state[4 * c]] ^ Encrypt[1][state[4 * ((c + 1) % 4) + 1]] ^
                         Encrypt[2][state[4 * ((c + 2) % 4) + 2]] ^
                         Encrypt[3][state[4 * ((c + 3) % 4) + 3]] ^ roundKeyWord(round, c);
        for (int i = 0; i < BlockSize; ++i)
            state[i] = static_cast<Byte>(columns[i / 4] >> (8 * (i % 4)));
    }
    substitute(state, SBox);
    shiftRows(state, false);
    addRoundKey(state, Rounds);
    return state;
}

AES::Block AES::decryptBlock(const Block& cipher) const
{
    State state = cipher;
    addRoundKey(state, Rounds);
    for (int round = Rounds - 1; round > 0; --round) {
        std::uint32_t columns[4];
        for (int c = 0; c < 4; ++c)
            columns[c] = Decrypt[0][state[4 * c]] ^ Decrypt[1][state[4 * ((c + 3) % 4) + 1]] ^
                         Decrypt[2][state[4 * ((c + 2) % 4) + 2]] ^
                         Decrypt[3][state[4 * ((c + 1) % 4) + 3]] ^ decryptKeys_[4 * round + c];
        for (int i = 0; i < BlockSize; ++i)
            state[i] = static_cast<Byte>(columns[i / 4] >> (8 * (i % 4)));
    }
    shiftRows(state, true);
    substitute(state, InverseSBox);
    addRoundKey(state, 0);
    return state;
}

const QByteArray& AES::EncryptText(const QByteArray& text)
{
    const auto length =
        static_cast<qsizetype>(qstrnlen(text.constData(), static_cast<size_t>(text.size())));
    const qsizetype unitLength = BlockSize * ((length + 1) / BlockSize + 1);
    output_ = QByteArray(unitLength, '\0');
    std::memcpy(output_.data(), text.constData(), static_cast<size_t>(length));
    for (qsizetype offset = 0; offset < unitLength; offset += BlockSize) {
        Block block;
        std::memcpy(block.data(), output_.constData() + offset, BlockSize);
        block = encryptBlock(block);
        std::memcpy(output_.data() + offset, block.data(), BlockSize);
    }
    return output_;
}

QByteArray AES::DecryptText(const QByteArray& cipher) const
{
    const qsizetype wholeBlocks = cipher.size() - cipher.size() % BlockSize;
    QByteArray text;
    text.reserve(wholeBlocks);
    for (qsizetype offset = 0; offset < wholeBlocks; offset += BlockSize) {
        Block block;
        std::memcpy(block.data(), cipher.constData() + offset, BlockSize);
        const Block plain = decryptBlock(block);
        const auto* bytes = reinterpret_cast<const char*>(plain.data());
        if (std::memchr(bytes, 0, BlockSize) == nullptr) {
            text.append(bytes, BlockSize);
            continue;
        }
        for (const Byte b : plain) {
            if (b != 0)
                text.append(static_cast<char>(b));
        }
    }
    return text;
}
