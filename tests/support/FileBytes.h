#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A whole file's bytes, for checking what a test left; "<missing>" when the file cannot be read,
// which no expected content equals. Files are written with integration::writeFile.
namespace filebytes {

inline QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace filebytes
