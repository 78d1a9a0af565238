#pragma once

#include "queue/QueueEntry.h"
#include "queue/TransferQueue.h"

#include <QByteArray>
#include <QList>
#include <QString>

class NamedMutex;

// "WFL.dat" in the work folder keeps the queue across restarts: per row thirteen GBK fields, each
// closed by CR (the twelve column texts, then "D" for a folder or "F"), the record closed by LF,
// the whole text enciphered as one unit with the program's AES key. Waiting and running rows are
// stored as "暂停", so nothing starts by itself after a restart.
class QueueFile {
public:
    // writeLock is the "mutex1" lock shared with the session registry; every writer of the file,
    // in this process or another sharing the work folder, holds it while saving.
    QueueFile(const QString& workPath, NamedMutex& writeLock);

    // The work path, which ends with "/", followed by "WFL.dat".
    static QString pathIn(const QString& workPath);
    const QString& path() const { return path_; }

    // Replaces the file with the rows as they are now (an empty queue leaves a 0-byte file). The
    // new file is complete on disk before it takes the old one's place; false, with the old file
    // kept, when it cannot be written.
    bool SaveQueue(const TransferQueue& queue);

    // Appends the stored records to the queue and returns how many. A missing, unreadable or
    // damaged file yields whatever whole records it holds, possibly none; dropped, when given,
    // counts the records that could not be read. Does not save.
    int LoadQueue(TransferQueue& queue, const QString& serverBoxText, int* dropped = nullptr) const;

    // The plain text of the rows. A row with CR, LF or NUL in one of its texts cannot be stored
    // without breaking the records around it, so it is left out of the file.
    static QByteArray plainText(const QList<TransferQueue::Row>& rows);
    // The complete records of a plain text, in order; dropped, when given, counts the records
    // cut short (each line end that closed fewer than thirteen fields, and a last unfinished
    // record).
    static QList<QueueEntry> parseText(const QByteArray& text, int* dropped = nullptr);

private:
    QString path_;
    NamedMutex& writeLock_;
};
