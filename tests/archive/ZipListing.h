#pragma once

#include "support/RunProgram.h"

#include <QString>
#include <QStringList>

// What unzip reports about an archive, for checking archives by reading them back.
namespace ziplisting {

// Entry names, sorted; {"unreadable"} when unzip refuses the archive.
inline QStringList entries(const QString& archive)
{
    const ProgramRun unzip = runProgram(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    if (unzip.exitCode != 0)
        return {QStringLiteral("unreadable")};
    QStringList names = QString::fromUtf8(unzip.output).split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// unzip -v: one line per entry with its size, method ("Stored", "Defl:N") and name.
inline QString verbose(const QString& archive)
{
    return QString::fromUtf8(
        runProgram(QStringLiteral("unzip"), {QStringLiteral("-v"), archive}).output);
}

// Whether unzip's own test of every entry (CRC included) passes.
inline bool intact(const QString& archive)
{
    return runProgram(QStringLiteral("unzip"), {QStringLiteral("-tq"), archive}, 60000).exitCode ==
           0;
}

} // namespace ziplisting
