#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Whole files read and written in one go, for setting up a test and checking what it left.
namespace filebytes {

// "<missing>" when the file cannot be read, which no expected content equals.
inline QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace filebytes
