#include "accounts/AES.h"

#include <openssl/evp.h>

#include <QtGlobal>

#include <cstring>
#include <memory>

namespace {

// The words are kept apart and joined at run time so the key is not one contiguous literal in
// the binary. This hides it from a casual look only: whoever has the program can read the files.
AES::Key programKey()
{
    const std::uint32_t words[4] = {0x5A3C96E1u, 0x0F7B24D8u, 0xC1685EA3u, 0x9247B03Du};
    AES::Key key{};
    for (int i = 0; i < 16; ++i)
        key[i] = static_cast<std::uint8_t>(words[i / 4] >> (24 - 8 * (i % 4)));
    return key;
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

} // namespace

AES::AES() : AES(programKey()) {}

AES::AES(const Key& key) : key_(key) {}

// ECB over whole blocks with padding off cannot fail once the context is set up; a failure here
// means libcrypto itself is unusable, and stopping before anything is stored loses nothing.
void AES::transform(bool encrypt, std::uint8_t* data, int length) const
{
    CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int written = 0;
    if (!context ||
        EVP_CipherInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key_.data(), nullptr,
                          encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
        EVP_CipherUpdate(context.get(), data, &written, data, length) != 1 || written != length)
        qFatal("AES-128-ECB is not available from libcrypto");
}

AES::Block AES::encryptBlock(const Block& plain) const
{
    Block block = plain;
    transform(true, block.data(), BlockSize);
    return block;
}

AES::Block AES::decryptBlock(const Block& cipher) const
{
    Block block = cipher;
    transform(false, block.data(), BlockSize);
    return block;
}

const QByteArray& AES::EncryptText(const QByteArray& text)
{
    const auto length =
        static_cast<qsizetype>(qstrnlen(text.constData(), static_cast<size_t>(text.size())));
    const qsizetype unitLength = BlockSize * ((length + 1) / BlockSize + 1);
    output_ = QByteArray(unitLength, '\0');
    std::memcpy(output_.data(), text.constData(), static_cast<size_t>(length));
    transform(true, reinterpret_cast<std::uint8_t*>(output_.data()), static_cast<int>(unitLength));
    return output_;
}

QByteArray AES::DecryptText(const QByteArray& cipher) const
{
    QByteArray plain = cipher.left(cipher.size() - cipher.size() % BlockSize);
    if (plain.isEmpty())
        return plain;
    transform(false, reinterpret_cast<std::uint8_t*>(plain.data()), static_cast<int>(plain.size()));
    plain.removeIf([](char c) { return c == '\0'; });
    return plain;
}
