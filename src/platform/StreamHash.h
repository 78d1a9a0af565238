#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

#include <optional>

// A digest computed block by block as the bytes go by, so a file is read only once.
class StreamHash {
public:
    enum class Algorithm { Sha256, Sha1, Md5, Crc32 };

    explicit StreamHash(Algorithm algorithm);

    void addData(const char* data, qint64 size);
    // Adds the first length bytes of a file; false when they cannot all be read.
    bool addFile(const QString& path, qint64 length);
    void reset();
    // Lower-case hexadecimal, 8 digits for CRC32.
    QString hex() const;

    Algorithm algorithm() const { return algorithm_; }
    // "SHA-256", "SHA-1", "MD5", "CRC32": the names servers use.
    static QString name(Algorithm algorithm);
    static std::optional<Algorithm> fromName(const QString& name);
    static int hexDigits(Algorithm algorithm);

private:
    Algorithm algorithm_;
    std::optional<QCryptographicHash> digest_; // all but CRC32
    unsigned long crc_ = 0;
};
