#pragma once

#include "ftp/FtpClient.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

// File helpers shared by the tests against real servers.
namespace integration {

inline QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          size / qsizetype(sizeof(quint32)));
    for (qsizetype i = size - size % qsizetype(sizeof(quint32)); i < size; ++i)
        bytes[i] = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// An anonymous logon to a test server.
inline LogonInfo anonymousLogon(const QString& host, quint16 port)
{
    LogonInfo info;
    info.host = host;
    info.port = port;
    info.user = QStringLiteral("anonymous");
    info.password = QStringLiteral("guest");
    return info;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray sha256Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result().toHex();
}

// A file of the given size that holds data only in its last part: the rest is a hole.
inline bool writeSparse(const QString& path, qint64 holeSize, const QByteArray& tail)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(holeSize) &&
           file.seek(holeSize) && file.write(tail) == tail.size();
}

inline QByteArray readTail(const QString& path, qint64 from)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.seek(from) ? file.readAll() : QByteArray();
}

// Bytes the file really occupies on disk, holes excluded.
inline qint64 allocatedBytes(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? qint64(info.st_blocks) * 512
                                                                   : -1;
}

// The names in a folder as the bytes the file system holds, whatever their encoding.
inline std::vector<QByteArray> rawNames(const QString& folder)
{
    std::vector<QByteArray> names;
    DIR* directory = ::opendir(QFile::encodeName(folder).constData());
    if (directory == nullptr)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(directory);
    return names;
}

} // namespace integration
