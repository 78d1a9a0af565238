#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class ZipWriter;

// Packs items of one folder into a zip archive: each item under its name, a folder as its own
// entry ending in "/" followed by its contents, level by level. The archive being written is
// never packed into itself, and a folder reached again through a symbolic link is not entered
// twice, so link loops end.
class ZipPacker {
public:
    enum class Result { Packed, CannotCreate, Cancelled };
    // Links are followed on the user's own disk; a service confined to a root leaves them out.
    enum class Links { Follow, Skip };

    ZipPacker(QString baseFolder, Links links = Links::Follow);

    // Called before each entry with its name, from the packing thread.
    void setProgress(std::function<void(const QString& entryName)> progress);
    // Stops the packing at the next entry (or piece of a large file) once set.
    void setCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }

    // names are relative to the base folder. Entries that cannot be read are left out; the
    // count is in skippedEntries(). The archive replaces one of the same name only once it is
    // complete; a cancelled or failed packing leaves nothing of its own and the old one as it was.
    Result pack(const QStringList& names, const QString& archivePath);
    int skippedEntries() const { return skipped_; }

private:
    Result packInto(const QStringList& names, const QString& part);
    static QString partNameFor(const QString& archivePath);
    void addItem(ZipWriter& zip, const QString& name);
    void addFolder(ZipWriter& zip, const QString& name);
    void addFile(ZipWriter& zip, const QString& name);
    bool cancelled() const { return cancel_ && cancel_->load(); }
    bool skipLink(const QString& path) const;

    QString baseFolder_;
    Links links_;
    std::function<void(const QString&)> progress_;
    const std::atomic<bool>* cancel_ = nullptr;
    QString archiveCanonical_;
    QSet<QString> foldersOnPath_; // canonical folders from the selection down to the current one
    int skipped_ = 0;
};
