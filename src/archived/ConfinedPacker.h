#pragma once

#include "archive/ServiceFailure.h"
#include "archived/ConfinedFolder.h"
#include "archived/DiskBudget.h"

#include <QByteArray>
#include <QList>

#include <vector>

class ZipWriter;

// Packs items of one folder into "<first item>.zip" beside them. Every folder and file is
// reached by descriptor without following links (links inside are left out, as are entries
// that cannot be read); the archive is written under a fresh name, after reserving room for it,
// and moved to its name only when complete and only when nothing of that name exists.
class ConfinedPacker {
public:
    explicit ConfinedPacker(DiskBudget& budget) : budget_(budget) {}

    ServiceFailure pack(const ConfinedFolder& folder, const QList<QByteArray>& names);

private:
    struct Entry {
        QList<QByteArray> steps; // from the packed folder down
        bool folder = false;
        quint64 size = 0;
    };

    static bool collect(const ConfinedFolder& folder, const QList<QByteArray>& steps,
                        std::vector<Entry>& entries);
    static void collectChildren(const ConfinedFolder& folder, const QList<QByteArray>& steps,
                                std::vector<Entry>& entries);
    static DiskBudget::Demand demandOf(const std::vector<Entry>& entries);
    static void write(ZipWriter& zip, const ConfinedFolder& folder, const Entry& entry);

    DiskBudget& budget_;
};
