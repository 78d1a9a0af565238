#include "update/ReleaseSignature.h"

#include <QByteArray>
#include <QFile>

#include <optional>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace {

constexpr int RawKeyBytes = 32;
constexpr int SignatureBytes = 64;

std::optional<QByteArray> strictBase64(const QString& text)
{
    const auto decoded = QByteArray::fromBase64Encoding(text.trimmed().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

EVP_PKEY* readKey(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (bytes.size() == RawKeyBytes)
        return EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, data, RawKeyBytes);
    EVP_PKEY* key = d2i_PUBKEY(nullptr, &data, bytes.size());
    if (key && EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        return nullptr;
    }
    return key;
}

} // namespace

QString ReleaseSignature::builtInKey()
{
    return QStringLiteral(KEVRA_UPDATE_KEY);
}

ReleaseSignature::ReleaseSignature(const QString& publicKey)
{
    const std::optional<QByteArray> bytes = strictBase64(publicKey);
    if (bytes && !bytes->isEmpty())
        key_.reset(readKey(*bytes), &EVP_PKEY_free);
}

// Ed25519 signs the message as a whole, so the file is mapped rather than streamed.
bool ReleaseSignature::verifies(const QString& filePath, const QString& signature) const
{
    const std::optional<QByteArray> signatureBytes = strictBase64(signature);
    if (!key_ || !signatureBytes || signatureBytes->size() != SignatureBytes)
        return false;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    if (size > 0 && !data)
        return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    return context &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key_.get()) == 1 &&
           EVP_DigestVerify(
               context.get(), reinterpret_cast<const unsigned char*>(signatureBytes->constData()),
               SignatureBytes, data ? data : reinterpret_cast<const uchar*>(""), size_t(size)) == 1;
}
