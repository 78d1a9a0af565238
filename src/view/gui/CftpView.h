#pragma once

#include "config/Configuration.h"
#include "view/gui/CommandDispatcher.h"

#include <QWidget>

#include <functional>
#include <optional>

class CMyEdit;
class CMyListCtrl;
class FileListModel;
class QAbstractItemModel;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTabBar;
class QueueListModel;

// The main view: the connection fields, the local pane on the left, the remote pane with the
// session tabs and the log on the right, the transfer queue along the bottom and the rate
// field below it. It knows the widgets; what connecting, listing and transferring do is wired
// in from outside through its signals, its command dispatcher and the start-up hooks.
// Everything here runs on the GUI thread, except AppendLog, which any thread may call.
class CftpView : public QWidget {
    Q_OBJECT
public:
    static constexpr int DefaultPort = 21;

    // Steps of the initial update that later features fill in, run in this order.
    struct StartupHooks {
        std::function<void()> fillLocalDrives;    // drives and desktop into the local path box
        std::function<void()> loadQueue;          // the saved queue into the queue list
        std::function<void()> enterDesktopFolder; // the desktop becomes the local folder
        std::function<void()> startWorkers;       // scheduler, speed meter, update check
    };

    explicit CftpView(QWidget* parent = nullptr);

    void setStartupHooks(StartupHooks hooks);
    // Adds a step to one of the hooks, run after what the hook already does.
    void addStartupStep(std::function<void()> StartupHooks::*hook, std::function<void()> step);
    // Runs once: takes the configuration, fills the server box, clears the fields, sets the
    // port to 21 and runs the hooks.
    void initialUpdate(const Configuration& config);
    Configuration& configuration() { return configuration_; }

    CommandDispatcher& commands() { return commands_; }

    QString host() const;
    void setHost(const QString& host);
    // Empty when the port field does not hold a port number (1 to 65535).
    std::optional<int> port() const;
    void setPort(int port);
    QString user() const;
    void setUser(const QString& user);
    QString password() const;
    void setPassword(const QString& password);

    // The strip is shown while it has tabs. These changes do not emit sessionTabSelected.
    int addSessionTab(const QString& label);
    void removeSessionTab(int index);
    void selectSessionTab(int index);
    QTabBar* sessionTabs() const { return sessionTabs_; }

    void setRemotePathText(const QString& path);
    QString remotePathText() const;
    void setRateText(const QString& text);

    FileListModel* localFiles() const { return localFiles_; }
    FileListModel* remoteFiles() const { return remoteFiles_; }
    QueueListModel* queueEntries() const { return queueEntries_; }
    // The queue list shows this model instead of its own empty rows; the view does not own it.
    void setQueueModel(QAbstractItemModel* model);
    CMyListCtrl* localList() const { return localList_; }
    CMyListCtrl* remoteList() const { return remoteList_; }
    CMyListCtrl* queueList() const { return queueList_; }
    QComboBox* serverBox() const { return serverBox_; }
    QComboBox* localPathBox() const { return localPathBox_; }
    QComboBox* remotePathBox() const { return remotePathBox_; }
    CMyEdit* logEdit() const { return log_; }

    // Everything logged since start-up or the last clearing, exactly as appended.
    QString logText() const { return logText_; }

    // Moves the focus to the next (step 1) or previous (step -1) of the local list, the remote
    // list, the log and the queue list.
    void focusPane(int step);

public Q_SLOTS:
    void AppendLog(const QString& text);
    void clearLog();

Q_SIGNALS:
    void connectRequested();
    void disconnectRequested();
    void serverListRequested();
    void saveAccountRequested();
    // The user picked another session tab.
    void sessionTabSelected(int index);
    // Enter in the remote path box: the user wants to open the path typed there.
    void remotePathEntered(const QString& path);
    // "关闭" in the tab menu: the tab under the point where the menu was asked for, or -1.
    void closeTabRequested(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    QWidget* createConnectionBar();
    QWidget* createLocalPane();
    QWidget* createRemotePane();
    QWidget* createRateBar();
    void arrangeControls();
    void registerCommands();
    void watchEnterKeys();
    void showTabMenu(const QPoint& at);
    int tabAtMenuPoint() const;

    CommandDispatcher commands_;
    Configuration configuration_;
    StartupHooks hooks_;
    bool initialised_ = false;
    QString logText_;
    QPoint tabMenuPoint_;

    FileListModel* localFiles_;
    FileListModel* remoteFiles_;
    QueueListModel* queueEntries_;

    QPushButton* serverListButton_ = nullptr;
    QComboBox* serverBox_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* connectButton_ = nullptr;
    QPushButton* disconnectButton_ = nullptr;
    QPushButton* saveAccountButton_ = nullptr;
    QComboBox* localPathBox_ = nullptr;
    CMyListCtrl* localList_ = nullptr;
    QComboBox* remotePathBox_ = nullptr;
    CMyListCtrl* remoteList_ = nullptr;
    QTabBar* sessionTabs_ = nullptr;
    CMyEdit* log_ = nullptr;
    CMyListCtrl* queueList_ = nullptr;
    QLineEdit* rateField_ = nullptr;
    QSplitter* paneSplitter_ = nullptr;
    QSplitter* logSplitter_ = nullptr;
    QSplitter* queueSplitter_ = nullptr;
    QMenu* tabMenu_ = nullptr;
};
