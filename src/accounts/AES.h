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
    // Runs whole blocks through libcrypto's AES-128-ECB without padding, in place.
    void transform(bool encrypt, std::uint8_t* data, int length) const;

    Key key_;
    QByteArray output_;
};
