#pragma once

#include "archived/ConfinedRoot.h"

#include <QString>
#include <QStringList>

// Unpacks a zip archive into the folder that holds it, overwriting what is there. An archive
// with any entry that would land outside that folder, or write through a symbolic link, is
// refused as a whole before anything is written; so is one whose files would not fit on the disk.
class ZipExtractor {
public:
    explicit ZipExtractor(const ConfinedRoot& root) : root_(root) {}

    bool extract(const QString& archivePath);

private:
    // Entry names in archive order; empty with ok false when the archive cannot be read.
    static QStringList entryNames(void* zip, bool& ok, quint64& totalBytes);
    static bool fits(quint64 totalBytes, const QString& folder);
    bool allSafe(const QStringList& names, const QString& folder) const;
    static bool writeCurrentEntry(void* zip, const QString& target);

    const ConfinedRoot& root_;
};
