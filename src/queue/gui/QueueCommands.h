#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class CMyListCtrl;
class CftpView;
class FileListModel;
class LocalPaneController;
class Prompt;
class QueueStore;
class SessionController;
class StopAllTransfers;
class TransferQueue;
class TransferQueueModel;

// The commands that fill and steer the queue: uploads and downloads from the panes' selections,
// save as, open, and start, pause, remove and clear on the queue list. They only add, re-state
// or remove rows and store the queue; the transfers follow the state texts. Lives on the GUI
// thread.
class QueueCommands : public QObject {
    Q_OBJECT
public:
    // Asks for the folder of "另存为"; an empty path means the user cancelled.
    using FolderChooser = std::function<QString()>;

    struct Parts {
        CftpView& view;
        Prompt& prompt;
        TransferQueue& queue;
        TransferQueueModel& model;
        QueueStore& store;
        StopAllTransfers& stopAll;
        SessionController& sessions;
        LocalPaneController& localPane;
    };

    explicit QueueCommands(const Parts& parts, QObject* parent = nullptr);

    void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

    // Queues the upload of one local file or folder (decided by the file system) to
    // remoteTarget on the server of address (the current session's when empty); "尚未连接" and
    // nothing added while no session is connected.
    void AddUploadFromPath(const QString& localPath, const QString& remoteTarget,
                           const QString& size, const QString& address = QString());

private:
    // One selected row of a file pane.
    struct PaneEntry {
        QString name;
        QString size;
        int folder = 0;
    };

    void registerCommands();
    void registerEnabledRules();
    void watchDoubleClicks();

    void upload();
    void addUploads();
    void download();
    void addDownloads();
    void addToQueue();
    void saveAs();
    void openRemoteFiles();
    void startAll();
    void startSelected();
    void pauseOrResume();
    void pauseAll();
    void removeSelected();
    void clearQueue();
    void deleteCompleted();
    void showInformation();

    bool connectedOrTell(const QString& notice);
    std::optional<QString> rowAddressOrTell(const QString& notice);
    // A new folder, mode 0700, under the cache folder; empty when it cannot be made.
    static QString freshOpenFolder();
    void addRow(const QString& source, const QString& target, const PaneEntry& entry,
                const QString& action, const QString& address);
    QList<PaneEntry> selectedLocalEntries() const;
    QList<PaneEntry> selectedRemoteEntries() const;
    static QList<PaneEntry> selectedEntries(const CMyListCtrl& list, const FileListModel& files);
    QString localPathOf(const QString& name) const;
    QString remotePathOf(const QString& name) const;
    QList<int> selectedQueueRows();

    CftpView& view_;
    Prompt& prompt_;
    TransferQueue& queue_;
    TransferQueueModel& model_;
    QueueStore& store_;
    StopAllTransfers& stopAll_;
    SessionController& sessions_;
    LocalPaneController& localPane_;
    FolderChooser chooseFolder_;
};
