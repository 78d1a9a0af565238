#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// What unzip reports about an archive, for checking archives by reading them back.
namespace ziplisting {

// Entry names, sorted; {"unreadable"} when unzip refuses the archive.
inline QStringList entries(const QString& archive)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return {QStringLiteral("unreadable")};
    QStringList names =
        QString::fromUtf8(unzip.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// unzip -v: one line per entry with its size, method ("Stored", "Defl:N") and name.
inline QString verbose(const QString& archive)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-v"), archive});
    unzip.waitForFinished(30000);
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

// Whether unzip's own test of every entry (CRC included) passes.
inline bool intact(const QString& archive)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), archive});
    return unzip.waitForFinished(60000) && unzip.exitCode() == 0;
}

} // namespace ziplisting
