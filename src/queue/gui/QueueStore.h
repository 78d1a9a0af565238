#pragma once

#include <QObject>

class CftpView;
class NamedMutex;
class TransferQueue;

// Keeps "WFL.dat" in the view's work path in step with the queue. The work path is read at each
// save and load, since the user may choose another one while the program runs. Lives on the
// GUI thread; a save asked for on another thread (a transfer that ends) is carried out there.
class QueueStore : public QObject {
    Q_OBJECT
public:
    // writeLock is "mutex1", which every writer of the file holds.
    QueueStore(CftpView& view, TransferQueue& queue, NamedMutex& writeLock,
               QObject* parent = nullptr);

    // Rewrites the file from the rows; a failure is logged and leaves the rows as they are.
    // From another thread the save is queued to the GUI thread and true returned.
    bool SaveQueue();
    // Appends the stored rows (waiting and running ones come back paused); records that could
    // not be read are counted in the log. Returns how many rows were added.
    int LoadQueue();

private:
    CftpView& view_;
    TransferQueue& queue_;
    NamedMutex& writeLock_;
};
