#pragma once

#include <QString>

#include <atomic>

// One zip archive being written with minizip. The file is created (replacing any earlier one)
// by the constructor and completed by close() or the destructor. Entry names are stored as
// UTF-8; entries and archives beyond 4 GiB get zip64 records.
class ZipWriter {
public:
    explicit ZipWriter(const QString& path);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    bool isOpen() const { return zip_ != nullptr; }
    // entryName ends in "/".
    bool addFolder(const QString& entryName);
    // Reads the disk file in pieces; a set cancel flag ends the entry early (returns false).
    bool addFile(const QString& entryName, const QString& diskPath,
                 const std::atomic<bool>* cancel = nullptr);
    bool close();

    // Already compressed formats are stored rather than deflated again.
    static bool isStoredSuffix(const QString& entryName);

private:
    bool openEntry(const QString& entryName, const QString& diskPath, bool deflate, bool zip64);

    void* zip_ = nullptr;
};
