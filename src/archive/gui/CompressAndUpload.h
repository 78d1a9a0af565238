#pragma once

#include "archive/ZipPacker.h"

#include <QObject>
#include <QStringList>

#include <functional>

class CftpView;
class LocalPaneController;
class Prompt;

// "压缩并上传" (local list) and "压缩上传" (File menu): packs the selected local items into
// <first item>.zip in the current local folder and queues one upload of it to the current
// remote folder. The packing runs on a thread of its own behind a progress dialog that can
// cancel it, so the window keeps painting. Lives on the GUI thread.
class CompressAndUpload : public QObject {
    Q_OBJECT
public:
    // Where the command reads the state it depends on when it runs.
    struct Sources {
        std::function<bool()> connected;
        std::function<QString()> remoteFolder;
        // Queues the archive's upload to the server of address and stores the queue.
        std::function<void(const QString& localPath, const QString& remoteTarget,
                           const QString& size, const QString& address)>
            addUpload;
        // The current session's address, which the upload carries.
        std::function<QString()> serverAddress;
    };

    CompressAndUpload(CftpView& view, LocalPaneController& localPane, Prompt& prompt,
                      Sources sources, QObject* parent = nullptr);

    void run();

private:
    ZipPacker::Result packWithProgress(ZipPacker& packer, const QStringList& names,
                                       const QString& archivePath);
    struct Destination {
        QString folder;
        QString address;
    };
    void queueUpload(const QString& archiveName, const QString& archivePath,
                     const Destination& destination);

    CftpView& view_;
    LocalPaneController& localPane_;
    Prompt& prompt_;
    Sources sources_;
    bool packing_ = false; // the progress dialog's event loop must not start a second packing
};
