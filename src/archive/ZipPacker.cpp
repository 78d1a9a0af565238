#include "archive/ZipPacker.h"

#include "archive/ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ZipPacker::ZipPacker(QString baseFolder, Links links)
    : baseFolder_(std::move(baseFolder)), links_(links)
{
}

void ZipPacker::setProgress(std::function<void(const QString&)> progress)
{
    progress_ = std::move(progress);
}

ZipPacker::Result ZipPacker::pack(const QStringList& names, const QString& archivePath)
{
    skipped_ = 0;
    foldersOnPath_.clear();
    ZipWriter zip(archivePath);
    if (!zip.isOpen())
        return Result::CannotCreate;
    archiveCanonical_ = QFileInfo(archivePath).canonicalFilePath();
    for (const QString& name : names) {
        if (cancelled())
            break;
        addItem(zip, name);
    }
    const bool closed = zip.close();
    if (cancelled()) {
        QFile::remove(archivePath);
        return Result::Cancelled;
    }
    return closed ? Result::Packed : Result::CannotCreate;
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
