#include "archive/ZipWriter.h"

#include "archive/ZipDescriptorIo.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <minizip/zip.h>

#include <array>
#include <vector>

namespace {
constexpr uLong utf8NamesFlag = 0x800;
constexpr uLong madeByUnix = 3 << 8 | 20;
constexpr qint64 zip32Limit = 0xFFFFFFFFLL;
constexpr qint64 chunkSize = 256 * 1024;

zip_fileinfo infoFor(const QDateTime& when, bool folder)
{
    zip_fileinfo info{};
    const QDate date = when.date();
    const QTime time = when.time();
    info.tmz_date.tm_year = static_cast<uInt>(date.year());
    info.tmz_date.tm_mon = static_cast<uInt>(date.month() - 1);
    info.tmz_date.tm_mday = static_cast<uInt>(date.day());
    info.tmz_date.tm_hour = static_cast<uInt>(time.hour());
    info.tmz_date.tm_min = static_cast<uInt>(time.minute());
    info.tmz_date.tm_sec = static_cast<uInt>(time.second());
    const uLong mode = folder ? 040755 : 0100644;
    info.external_fa = mode << 16 | (folder ? 0x10 : 0);
    return info;
}
} // namespace

ZipWriter::ZipWriter(const QString& path)
{
    QFile::remove(path);
    zip_ = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
}

ZipWriter::ZipWriter(int descriptor) : io_(std::make_unique<ZipDescriptorIo>(descriptor))
{
    zip_ = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, io_->functions());
}

ZipWriter::~ZipWriter()
{
    close();
}

bool ZipWriter::isStoredSuffix(const QString& entryName)
{
    static const std::array<QLatin1String, 8> suffixes{
        QLatin1String(".Z"),   QLatin1String(".zip"), QLatin1String(".zoo"), QLatin1String(".arc"),
        QLatin1String(".lzh"), QLatin1String(".arj"), QLatin1String(".gz"),  QLatin1String(".tgz")};
    for (const QLatin1String& suffix : suffixes) {
        if (entryName.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool ZipWriter::openEntry(const QString& entryName, const QDateTime& modified, bool deflate,
                          bool zip64)
{
    const bool folder = entryName.endsWith(QLatin1Char('/'));
    const zip_fileinfo info = infoFor(modified, folder);
    const QByteArray name = entryName.toUtf8();
    return zipOpenNewFileInZip4_64(zip_, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   deflate ? Z_DEFLATED : 0, deflate ? Z_DEFAULT_COMPRESSION : 0, 0,
                                   -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                   madeByUnix, utf8NamesFlag, zip64 ? 1 : 0) == ZIP_OK;
}

bool ZipWriter::addFolder(const QString& entryName)
{
    if (!zip_ || !openEntry(entryName, QDateTime::currentDateTime(), false, false))
        return false;
    return zipCloseFileInZip(zip_) == ZIP_OK;
}

bool ZipWriter::addFile(const QString& entryName, const QString& diskPath,
                        const std::atomic<bool>* cancel)
{
    QFile file(diskPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return addData(entryName, file, QFileInfo(diskPath).lastModified(), cancel);
}

bool ZipWriter::addFile(const QString& entryName, int descriptor, const QDateTime& modified,
                        const std::atomic<bool>* cancel)
{
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return false;
    return addData(entryName, file, modified, cancel);
}

bool ZipWriter::addData(const QString& entryName, QFile& file, const QDateTime& modified,
                        const std::atomic<bool>* cancel)
{
    const bool zip64 = file.size() >= zip32Limit;
    if (!zip_ || !openEntry(entryName, modified, !isStoredSuffix(entryName), zip64))
        return false;
    std::vector<char> buffer(chunkSize);
    bool complete = true;
    for (;;) {
        if (cancel && cancel->load()) {
            complete = false;
            break;
        }
        const qint64 count = file.read(buffer.data(), chunkSize);
        if (count <= 0) {
            complete = count == 0;
            break;
        }
        if (zipWriteInFileInZip(zip_, buffer.data(), static_cast<unsigned>(count)) != ZIP_OK) {
            complete = false;
            break;
        }
    }
    return zipCloseFileInZip(zip_) == ZIP_OK && complete;
}

bool ZipWriter::close()
{
    if (!zip_)
        return false;
    const bool closed = zipClose(zip_, nullptr) == ZIP_OK;
    zip_ = nullptr;
    return closed;
}
