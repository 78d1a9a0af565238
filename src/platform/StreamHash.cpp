#include "platform/StreamHash.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>

namespace {

constexpr qint64 fileBlock = 256 * 1024;

QCryptographicHash::Algorithm cryptographic(StreamHash::Algorithm algorithm)
{
    switch (algorithm) {
    case StreamHash::Algorithm::Sha1:
        return QCryptographicHash::Sha1;
    case StreamHash::Algorithm::Md5:
        return QCryptographicHash::Md5;
    default:
        return QCryptographicHash::Sha256;
    }
}

} // namespace

StreamHash::StreamHash(Algorithm algorithm) : algorithm_(algorithm)
{
    reset();
}

void StreamHash::reset()
{
    crc_ = crc32(0L, Z_NULL, 0);
    digest_.reset();
    if (algorithm_ != Algorithm::Crc32)
        digest_.emplace(cryptographic(algorithm_));
}

void StreamHash::addData(const char* data, qint64 size)
{
    if (size <= 0)
        return;
    if (digest_) {
        digest_->addData(QByteArrayView(data, size));
        return;
    }
    // crc32() takes at most an unsigned int of bytes at a time.
    while (size > 0) {
        const auto part = static_cast<uInt>(std::min<qint64>(size, 1 << 30));
        crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(data), part);
        data += part;
        size -= part;
    }
}

bool StreamHash::addFile(const QString& path, qint64 length)
{
    if (length <= 0)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray block(static_cast<qsizetype>(std::min(length, fileBlock)), Qt::Uninitialized);
    while (length > 0) {
        const qint64 read = file.read(block.data(), std::min<qint64>(length, block.size()));
        if (read <= 0)
            return false;
        addData(block.constData(), read);
        length -= read;
    }
    return true;
}

QString StreamHash::hex() const
{
    if (digest_)
        return QString::fromLatin1(digest_->result().toHex());
    return QStringLiteral("%1").arg(static_cast<quint32>(crc_), 8, 16, QLatin1Char('0'));
}

QString StreamHash::name(Algorithm algorithm)
{
    switch (algorithm) {
    case Algorithm::Sha256:
        return QStringLiteral("SHA-256");
    case Algorithm::Sha1:
        return QStringLiteral("SHA-1");
    case Algorithm::Md5:
        return QStringLiteral("MD5");
    case Algorithm::Crc32:
        return QStringLiteral("CRC32");
    }
    return QString();
}

std::optional<StreamHash::Algorithm> StreamHash::fromName(const QString& name)
{
    for (Algorithm algorithm :
         {Algorithm::Sha256, Algorithm::Sha1, Algorithm::Md5, Algorithm::Crc32}) {
        if (name.compare(StreamHash::name(algorithm), Qt::CaseInsensitive) == 0)
            return algorithm;
    }
    return std::nullopt;
}

int StreamHash::hexDigits(Algorithm algorithm)
{
    switch (algorithm) {
    case Algorithm::Sha256:
        return 64;
    case Algorithm::Sha1:
        return 40;
    case Algorithm::Md5:
        return 32;
    case Algorithm::Crc32:
        return 8;
    }
    return 0;
}
