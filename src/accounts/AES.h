#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// AES-128 in ECB mode, block by block, with the program's fixed key unless another is given.
// Both stored files ("list.dat" and "WFL.dat") are enciphered with the fixed key, so changing
// it makes every existing file unreadable.
class AES {
public:
    static constexpr int BlockSize = 16;
    using Key = std::array<std::uint8_t, 16>;
    using Block = std::array<std::uint8_t, BlockSize>;

    AES();
    explicit AES(const Key& key);

    // Enciphers a text up to its first NUL as one unit: the text, a NUL and zero bytes up to
    // the next multiple of 16 strictly greater than its length plus one. The result stays in
    // this object's buffer until the next call.
    const QByteArray& EncryptText(const QByteArray& text);
    // Deciphers the whole 16-byte blocks of the given bytes and returns every non-NUL byte in
    // order; bytes after the last whole block are ignored.
    QByteArray DecryptText(const QByteArray& cipher) const;

    Block encryptBlock(const Block& plain) const;
    Block decryptBlock(const Block& cipher) const;

private:
    static constexpr int Rounds = 10;
    using State = std::array<std::uint8_t, BlockSize>;

    void expandKey(const Key& key);
    void prepareDecryptKeys();
    void addRoundKey(State& state, int round) const;
    std::uint32_t roundKeyWord(int round, int column) const;

    std::array<std::uint8_t, BlockSize*(Rounds + 1)> roundKeys_{};
    // The round keys with the inverse column mixing applied, as the table-driven decryption
    // rounds need them (rounds 1 to Rounds - 1; 0 and Rounds are the plain keys).
    std::array<std::uint32_t, 4 * (Rounds + 1)> decryptKeys_{};
    QByteArray output_;
};
