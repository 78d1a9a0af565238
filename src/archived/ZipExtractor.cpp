#include "archived/ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <minizip/unzip.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
constexpr uLong utf8NamesFlag = 0x800;
constexpr int chunkSize = 256 * 1024;

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};

// The entry's name; its size as the archive declares it is added to totalBytes (capped rather
// than wrapped round).
QString currentName(unzFile zip, bool& ok, quint64& totalBytes)
{
    unz_file_info64 info{};
    ok = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK &&
         info.size_filename < 4096;
    totalBytes += std::min<quint64>(info.uncompressed_size, ~quint64(0) - totalBytes);
    if (!ok)
        return QString();
    QByteArray name(static_cast<int>(info.size_filename), '\0');
    ok = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr,
                                 0, nullptr, 0) == UNZ_OK;
    const bool utf8 = (info.flag & utf8NamesFlag) != 0 || QString::fromUtf8(name).toUtf8() == name;
    return utf8 ? QString::fromUtf8(name) : QString::fromLocal8Bit(name);
}
} // namespace

QStringList ZipExtractor::entryNames(void* zip, bool& ok, quint64& totalBytes)
{
    QStringList names;
    int status = unzGoToFirstFile(zip);
    ok = true;
    totalBytes = 0;
    while (ok && status == UNZ_OK) {
        names.append(currentName(zip, ok, totalBytes));
        status = unzGoToNextFile(zip);
    }
    ok = ok && status == UNZ_END_OF_LIST_OF_FILE;
    return names;
}

bool ZipExtractor::allSafe(const QStringList& names, const QString& folder) const
{
    for (const QString& name : names) {
        if (!ConfinedRoot::isSafeRelativeName(name))
            return false;
        QString part = folder;
        for (const QString& step : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            part += QLatin1Char('/') + step;
            if (!root_.mayWrite(part))
                return false;
        }
    }
    return true;
}

// An archive that would fill the disk (a zip bomb, or just too big) is refused before anything
// is written; the reader never delivers more than an entry declares.
bool ZipExtractor::fits(quint64 totalBytes, const QString& folder)
{
    const qint64 available = QStorageInfo(folder).bytesAvailable();
    return available >= 0 && totalBytes <= static_cast<quint64>(available);
}

bool ZipExtractor::writeCurrentEntry(void* zip, const QString& target)
{
    if (!QDir().mkpath(QFileInfo(target).path()) || unzOpenCurrentFile(zip) != UNZ_OK)
        return false;
    QFile file(target);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    std::vector<char> buffer(chunkSize);
    int count = 0;
    while (ok && (count = unzReadCurrentFile(zip, buffer.data(), chunkSize)) > 0)
        ok = file.write(buffer.data(), count) == count;
    // unzCloseCurrentFile checks the CRC of a fully read entry.
    const bool intact = unzCloseCurrentFile(zip) == UNZ_OK;
    return ok && count == 0 && intact && file.flush();
}

bool ZipExtractor::extract(const QString& archivePath)
{
    std::unique_ptr<void, ZipCloser> zip(unzOpen64(QFile::encodeName(archivePath).constData()));
    if (!zip)
        return false;
    bool ok = false;
    quint64 totalBytes = 0;
    const QStringList names = entryNames(zip.get(), ok, totalBytes);
    const QString folder = QFileInfo(archivePath).absolutePath();
    if (!ok || !allSafe(names, folder) || !fits(totalBytes, folder))
        return false;
    int status = unzGoToFirstFile(zip.get());
    for (const QString& name : names) {
        if (status != UNZ_OK)
            return false;
        const QString target = folder + QLatin1Char('/') + name;
        const bool written = name.endsWith(QLatin1Char('/')) ? QDir().mkpath(target)
                                                             : writeCurrentEntry(zip.get(), target);
        if (!written)
            return false;
        status = unzGoToNextFile(zip.get());
    }
    return true;
}
