#pragma once

#include <QDateTime>
#include <QString>

#include <atomic>
#include <memory>

class QFile;
class ZipDescriptorIo;

// One zip archive being written with minizip. The file is created (replacing any earlier one)
// by the constructor and completed by close() or the destructor. Entry names are stored as
// UTF-8; entries and archives beyond 4 GiB get zip64 records.
class ZipWriter {
public:
    explicit ZipWriter(const QString& path);
    // Writes into a file already open for reading and writing (the descriptor stays the
    // caller's), for a file created without following links.
    explicit ZipWriter(int descriptor);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    bool isOpen() const { return zip_ != nullptr; }
    // entryName ends in "/".
    bool addFolder(const QString& entryName);
    // Reads the disk file in pieces; a set cancel flag ends the entry early (returns false).
    bool addFile(const QString& entryName, const QString& diskPath,
                 const std::atomic<bool>* cancel = nullptr);
    // Reads from a descriptor open for reading, from its current position.
    bool addFile(const QString& entryName, int descriptor, const QDateTime& modified,
                 const std::atomic<bool>* cancel = nullptr);
    bool close();

    // Already compressed formats are stored rather than deflated again.
    static bool isStoredSuffix(const QString& entryName);

private:
    bool openEntry(const QString& entryName, const QDateTime& modified, bool deflate, bool zip64);
    bool addData(const QString& entryName, QFile& file, const QDateTime& modified,
                 const std::atomic<bool>* cancel);

    std::unique_ptr<ZipDescriptorIo> io_;
    void* zip_ = nullptr;
};
