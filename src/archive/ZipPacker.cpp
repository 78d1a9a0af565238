#include "archive/ZipPacker.h"

#include "archive/ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>

ZipPacker::ZipPacker(QString baseFolder, Links links)
    : baseFolder_(std::move(baseFolder)), links_(links)
{
}

void ZipPacker::setProgress(std::function<void(const QString&)> progress)
{
    progress_ = std::move(progress);
}

// The archive is written under a temporary name beside it and takes its name only once it is
// complete: an archive of that name that was there before stays as it was when the packing
// fails or is cancelled, and when it is itself among the items it is packed like any file.
ZipPacker::Result ZipPacker::pack(const QStringList& names, const QString& archivePath)
{
    skipped_ = 0;
    foldersOnPath_.clear();
    const QString part = partNameFor(archivePath);
    Result result = part.isEmpty() ? Result::CannotCreate : packInto(names, part);
    if (result == Result::Packed && std::rename(QFile::encodeName(part).constData(),
                                                QFile::encodeName(archivePath).constData()) != 0)
        result = Result::CannotCreate;
    if (result != Result::Packed && !part.isEmpty())
        QFile::remove(part);
    return result;
}

ZipPacker::Result ZipPacker::packInto(const QStringList& names, const QString& part)
{
    ZipWriter zip(part);
    if (!zip.isOpen())
        return Result::CannotCreate;
    archiveCanonical_ = QFileInfo(part).canonicalFilePath();
    for (const QString& name : names) {
        if (cancelled())
            break;
        addItem(zip, name);
    }
    const bool closed = zip.close();
    if (cancelled())
        return Result::Cancelled;
    return closed ? Result::Packed : Result::CannotCreate;
}

// A hidden name nothing holds yet, in the archive's folder so that the rename stays on one disk.
QString ZipPacker::partNameFor(const QString& archivePath)
{
    const QFileInfo archive(archivePath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            archive.absolutePath() + QStringLiteral("/.") + archive.fileName() +
            QStringLiteral(".%1.part")
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
    return QString();
}

bool ZipPacker::skipLink(const QString& path) const
{
    return links_ == Links::Skip && QFileInfo(path).isSymLink();
}

void ZipPacker::addItem(ZipWriter& zip, const QString& name)
{
    const QString path = baseFolder_ + QLatin1Char('/') + name;
    if (skipLink(path)) {
        ++skipped_;
        return;
    }
    if (QFileInfo(path).isDir())
        addFolder(zip, name);
    else
        addFile(zip, name);
}

void ZipPacker::addFolder(ZipWriter& zip, const QString& name)
{
    const QString path = baseFolder_ + QLatin1Char('/') + name;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (foldersOnPath_.contains(canonical))
        return; // a link back up the tree
    if (progress_)
        progress_(name + QLatin1Char('/'));
    if (!zip.addFolder(name + QLatin1Char('/')))
        ++skipped_;
    foldersOnPath_.insert(canonical);
    const QStringList children = QDir(path).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& child : children) {
        if (cancelled())
            break;
        addItem(zip, name + QLatin1Char('/') + child);
    }
    foldersOnPath_.remove(canonical);
}

void ZipPacker::addFile(ZipWriter& zip, const QString& name)
{
    const QString path = baseFolder_ + QLatin1Char('/') + name;
    if (QFileInfo(path).canonicalFilePath() == archiveCanonical_)
        return;
    if (progress_)
        progress_(name);
    if (!zip.addFile(name, path, cancel_))
        ++skipped_;
}
