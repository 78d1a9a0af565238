#include "archived/ZipExtractor.h"

#include "archive/ZipDescriptorIo.h"
#include "archived/ConfinedRoot.h"
#include "archived/StagingFolder.h"
#include "platform/TextCodec.h"

#include <QSet>

#include <minizip/unzip.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {
constexpr uLong utf8NamesFlag = 0x800;
constexpr int chunkSize = 256 * 1024;
constexpr uLong longestName = 4096;
// Each level of a tree holds a descriptor while it is moved or removed.
constexpr qsizetype deepest = 128;

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};

// Bytes that are not text in the name's encoding make it unsafe rather than a guess.
bool decodeName(const QByteArray& bytes, bool utf8, QString& name)
{
    if (utf8) {
        name = QString::fromUtf8(bytes);
        return TextCodec::isValidUtf8(bytes);
    }
    name = TextCodec(TextCodec::Encoding::Gbk).decode(bytes);
    return std::none_of(name.cbegin(), name.cend(),
                        [](QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; });
}

ServiceFailure failureOfErrno()
{
    if (errno == EEXIST || errno == ENOTDIR)
        return ServiceFailure::Clash;
    return errno == ENOSPC || errno == EDQUOT ? ServiceFailure::NoSpace : ServiceFailure::Io;
}

bool writeAll(int descriptor, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t count = ::write(descriptor, data, static_cast<size_t>(size));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= count;
    }
    return true;
}
} // namespace

ServiceFailure ZipExtractor::extract(const ConfinedFolder& folder, const QByteArray& archiveName)
{
    const FileDescriptor file = folder.openFile(archiveName);
    if (!file.isOpen())
        return ServiceFailure::NotFound;
    ZipDescriptorIo io(file.get());
    const std::unique_ptr<void, ZipCloser> zip(unzOpen2_64("", io.functions()));
    if (!zip)
        return ServiceFailure::NotZip;
    std::vector<Entry> entries;
    ServiceFailure failure = readEntries(zip.get(), entries);
    if (failure != ServiceFailure::None)
        return failure;
    const DiskBudget::Reservation reservation =
        budget_.reserve(folder.descriptor(), demandOf(entries));
    if (!reservation.isGranted())
        return ServiceFailure::NoSpace;
    StagingFolder staging(folder);
    if (!staging.isOpen())
        return failureOfErrno();
    failure = unpack(zip.get(), entries, staging.folder());
    return failure != ServiceFailure::None ? failure : staging.moveIntoPlace();
}

ServiceFailure ZipExtractor::readEntries(void* zip, std::vector<Entry>& entries)
{
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK) {
        Entry entry;
        const ServiceFailure failure = readEntry(zip, entry);
        if (failure != ServiceFailure::None)
            return failure;
        entries.push_back(std::move(entry));
        status = unzGoToNextFile(zip);
    }
    return status == UNZ_END_OF_LIST_OF_FILE ? ServiceFailure::None : ServiceFailure::Damaged;
}

ServiceFailure ZipExtractor::readEntry(void* zip, Entry& entry)
{
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.size_filename >= longestName)
        return ServiceFailure::Damaged;
    QByteArray bytes(static_cast<int>(info.size_filename), '\0');
    if (unzGetCurrentFileInfo64(zip, &info, bytes.data(), static_cast<uLong>(bytes.size()), nullptr,
                                0, nullptr, 0) != UNZ_OK)
        return ServiceFailure::Damaged;
    QString name;
    if (!decodeName(bytes, (info.flag & utf8NamesFlag) != 0, name) ||
        name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return ServiceFailure::Unsafe;
    const auto steps = ConfinedRoot::steps(name);
    if (!steps || steps->size() > deepest)
        return ServiceFailure::Unsafe;
    entry.steps = *steps;
    entry.folder = name.endsWith(QLatin1Char('/'));
    entry.size = entry.folder ? 0 : info.uncompressed_size;
    return ServiceFailure::None;
}

// Every folder a file lands in counts once, named in the archive or not, and so does the
// staging folder.
DiskBudget::Demand ZipExtractor::demandOf(const std::vector<Entry>& entries)
{
    DiskBudget::Demand demand;
    QSet<QByteArray> folders;
    for (const Entry& entry : entries) {
        const qsizetype depth = entry.folder ? entry.steps.size() : entry.steps.size() - 1;
        for (qsizetype step = 1; step <= depth; ++step)
            folders.insert(entry.steps.mid(0, step).join('/'));
        if (!entry.folder)
            demand.fileSizes.push_back(entry.size);
    }
    demand.folders = static_cast<quint64>(folders.size()) + 1;
    return demand;
}

ServiceFailure ZipExtractor::unpack(void* zip, const std::vector<Entry>& entries,
                                    const ConfinedFolder& staging)
{
    int status = unzGoToFirstFile(zip);
    for (const Entry& entry : entries) {
        if (status != UNZ_OK)
            return ServiceFailure::Damaged;
        const qsizetype depth = entry.folder ? entry.steps.size() : entry.steps.size() - 1;
        ConfinedFolder parent = staging.walk({});
        for (qsizetype step = 0; step < depth && parent.isOpen(); ++step)
            parent = parent.makeFolder(entry.steps[step]);
        if (!parent.isOpen())
            return failureOfErrno();
        if (!entry.folder) {
            const ServiceFailure failure =
                writeCurrentEntry(zip, parent, entry.steps.last(), entry.size);
            if (failure != ServiceFailure::None)
                return failure;
        }
        status = unzGoToNextFile(zip);
    }
    return ServiceFailure::None;
}

// The entry must inflate to exactly the size it declares (which the budget counted) and match
// its CRC.
ServiceFailure ZipExtractor::writeCurrentEntry(void* zip, const ConfinedFolder& folder,
                                               const QByteArray& name, quint64 size)
{
    const FileDescriptor file = folder.createFile(name);
    if (!file.isOpen())
        return failureOfErrno();
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return ServiceFailure::Damaged;
    buffer_.resize(chunkSize);
    quint64 written = 0;
    int count = 0;
    ServiceFailure failure = ServiceFailure::None;
    while ((count = unzReadCurrentFile(zip, buffer_.data(), chunkSize)) > 0) {
        written += static_cast<quint64>(count);
        if (written > size) {
            failure = ServiceFailure::Damaged;
            break;
        }
        if (!writeAll(file.get(), buffer_.data(), count)) {
            failure = failureOfErrno();
            break;
        }
    }
    // unzCloseCurrentFile checks the CRC of a fully read entry.
    const bool intact = unzCloseCurrentFile(zip) == UNZ_OK;
    if (failure == ServiceFailure::None && (count < 0 || written != size || !intact))
        failure = ServiceFailure::Damaged;
    return failure;
}
