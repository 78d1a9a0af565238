#pragma once

#include "queue/QueueFileWriter.h"

#include <QObject>

class CftpView;
class NamedMutex;
class TransferQueue;

// Keeps "WFL.dat" in the view's work path in step with the queue. The work path is read at each
// save and load, since the user may choose another one while the program runs. Lives on the
// GUI thread; the saves themselves run on its writer's thread.
class QueueStore : public QObject {
    Q_OBJECT
public:
    // writeLock is "mutex1", which every writer of the file holds.
    QueueStore(CftpView& view, TransferQueue& queue, NamedMutex& writeLock,
               QObject* parent = nullptr);

    // Has the file rewritten from the rows, without waiting for the disk; a failure is logged
    // and leaves the rows as they are. Any thread.
    void SaveQueue();
    // Waits for the saves asked for so far; true when the last one stored the file.
    bool waitUntilStored() { return writer_.waitUntilStored(); }
    // Appends the stored rows (waiting and running ones come back paused); records that could
    // not be read are counted in the log. Returns how many rows were added.
    int LoadQueue();

private:
    void reportFailure(const QString& filePath);

    CftpView& view_;
    TransferQueue& queue_;
    NamedMutex& writeLock_;
    QueueFileWriter writer_; // reports to view_: declared after it
};
