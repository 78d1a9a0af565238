#include "archived/ConfinedPacker.h"

#include "archive/ZipWriter.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace {
// Deeper folders are left out: each level holds a descriptor while it is walked.
constexpr qsizetype deepest = 128;
// Local header, central record and name of an entry, generously.
constexpr quint64 entryOverhead = 512;

QString entryName(const QList<QByteArray>& steps, bool folder)
{
    const QString name = QFile::decodeName(steps.join('/'));
    return folder ? name + QLatin1Char('/') : name;
}
} // namespace

ServiceFailure ConfinedPacker::pack(const ConfinedFolder& folder, const QList<QByteArray>& names)
{
    const QByteArray archiveName = names.first() + ".zip";
    if (folder.kindOf(archiveName) != ConfinedFolder::Kind::None)
        return ServiceFailure::Exists;
    std::vector<Entry> entries;
    for (const QByteArray& name : names) {
        if (!collect(folder, {name}, entries))
            return ServiceFailure::NotFound;
    }
    const DiskBudget::Reservation reservation =
        budget_.reserve(folder.descriptor(), demandOf(entries));
    if (!reservation.isGranted())
        return ServiceFailure::NoSpace;
    const QByteArray partName =
        ".kevra-compress-" + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    const FileDescriptor part = folder.createFile(partName);
    if (!part.isOpen())
        return ServiceFailure::Io;
    bool closed = false;
    {
        ZipWriter zip(part.get());
        for (const Entry& entry : entries)
            write(zip, folder, entry);
        closed = zip.close();
    }
    if (closed && folder.moveTo(partName, folder, archiveName, false))
        return ServiceFailure::None;
    const bool taken = errno == EEXIST;
    folder.remove(partName);
    return closed && taken ? ServiceFailure::Exists : ServiceFailure::Io;
}

// False when a named item is missing or a link; below it, links and special files are left out.
bool ConfinedPacker::collect(const ConfinedFolder& folder, const QList<QByteArray>& steps,
                             std::vector<Entry>& entries)
{
    struct stat info {};
    const QByteArray& name = steps.last();
    if (!ConfinedFolder::isPlainName(name) ||
        ::fstatat(folder.descriptor(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISREG(info.st_mode)) {
        entries.push_back({steps, false, static_cast<quint64>(info.st_size)});
    } else if (S_ISDIR(info.st_mode)) {
        entries.push_back({steps, true, 0});
        if (steps.size() < deepest)
            collectChildren(folder.folder(name), steps, entries);
    } else {
        return false;
    }
    return true;
}

void ConfinedPacker::collectChildren(const ConfinedFolder& folder, const QList<QByteArray>& steps,
                                     std::vector<Entry>& entries)
{
    if (!folder.isOpen())
        return;
    for (const QByteArray& child : folder.entries())
        collect(folder, steps + QList<QByteArray>{child}, entries);
}

DiskBudget::Demand ConfinedPacker::demandOf(const std::vector<Entry>& entries)
{
    quint64 bytes = 0;
    for (const Entry& entry : entries)
        bytes += entry.size + entryOverhead + static_cast<quint64>(entry.steps.join('/').size());
    DiskBudget::Demand demand;
    demand.fileSizes.push_back(bytes);
    return demand;
}

// Each file is opened again, step by step, when its turn comes: what changed since the walk is
// read as it is now, or left out when it became a link.
void ConfinedPacker::write(ZipWriter& zip, const ConfinedFolder& folder, const Entry& entry)
{
    if (entry.folder) {
        zip.addFolder(entryName(entry.steps, true));
        return;
    }
    const ConfinedFolder parent = folder.walk(entry.steps.mid(0, entry.steps.size() - 1));
    const FileDescriptor file = parent.openFile(entry.steps.last());
    struct stat info {};
    if (!file.isOpen() || ::fstat(file.get(), &info) != 0)
        return;
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(info.st_mtime);
    zip.addFile(entryName(entry.steps, false), file.get(), modified);
}
