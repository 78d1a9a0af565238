#pragma once

#include "archive/ServiceFailure.h"
#include "archived/ConfinedFolder.h"
#include "archived/DiskBudget.h"

#include <QByteArray>
#include <QList>

#include <vector>

// Unpacks a zip archive into the folder that holds it, overwriting files there. Entries are
// written into a staging folder of their own, by descriptor and without following links, and
// moved into place only when all of them were written; an archive with an entry that would land
// outside, two entries of one name, or more than the disk can spare is refused as a whole, and
// a failure removes everything written. Names carrying the UTF-8 flag (bit 11) are UTF-8; the
// others are GBK (code page 936), as Chinese Windows tools write them.
class ZipExtractor {
public:
    explicit ZipExtractor(DiskBudget& budget) : budget_(budget) {}

    ServiceFailure extract(const ConfinedFolder& folder, const QByteArray& archiveName);

private:
    struct Entry {
        QList<QByteArray> steps; // local names from the archive's folder down
        bool folder = false;
        quint64 size = 0;
    };

    static ServiceFailure readEntries(void* zip, std::vector<Entry>& entries);
    static ServiceFailure readEntry(void* zip, Entry& entry);
    static DiskBudget::Demand demandOf(const std::vector<Entry>& entries);
    ServiceFailure unpack(void* zip, const std::vector<Entry>& entries,
                          const ConfinedFolder& staging);
    ServiceFailure writeCurrentEntry(void* zip, const ConfinedFolder& folder,
                                     const QByteArray& name, quint64 size);

    DiskBudget& budget_;
    std::vector<char> buffer_;
};
