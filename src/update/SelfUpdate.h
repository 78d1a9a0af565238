#pragma once

#include "update/ProgramFiles.h"
#include "update/ReleaseSignature.h"
#include "update/UpdateDownloadThread.h"
#include "update/UpdateSettings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class Prompt;

// The update's two phases as the user meets them. Lives on the GUI thread: the phases run on
// an UpdateDownloadThread, one at a time, and everything the user sees is said here when a
// phase has ended. Which phase a thread ran travels with it, so a check started by the menu
// cannot be mistaken for the end of a download. A check the user asked for always ends with
// a word to the user; the check at start-up speaks only when there is something to install,
// and a failed download is always reported.
class SelfUpdate : public QObject {
    Q_OBJECT
public:
    struct Context {
        ProgramFiles files;
        // Asked at each check: the view learns its configuration after the features are built.
        std::function<QString()> configPath;
        std::function<int()> mode;
        QString builtInServer = UpdateSettings::builtInServer();
        // Without a key no program is ever installed.
        ReleaseSignature releaseKey{ReleaseSignature::builtInKey()};
    };
    struct Limits {
        DownloadLimits page;
        DownloadLimits program;
    };
    static Limits defaultLimits();

    SelfUpdate(Prompt& prompt, Context context, Limits limits = defaultLimits());
    // Cancels a running phase and waits for its thread.
    ~SelfUpdate() override;

    // The check at start-up: skipped in the mode "不进行自动检测" and without a server.
    void startAtStartup();
    // "检查更新(&C)": a check in any mode.
    void CheckForUpdates();
    // A phase's thread ended well: weigh the version page, or report the finished update.
    void OnUpdateDownloaded(const UpdateDownloadThread::Job& job);

    bool isBusy() const { return worker_ != nullptr || weighing_; }

Q_SIGNALS:
    // A phase ended (well or not) and no further phase was started.
    void idle();

private:
    void startCheck(bool askedByUser);
    void weighVersionPage();
    void reportFailure(const UpdateDownloadThread& ended);
    // Tells the user only when the running round was asked for.
    void answer(const QString& text);
    void start(UpdateDownloadThread::Job job);
    void workerEnded();

    Prompt& prompt_;
    const Context context_;
    const Limits limits_;
    std::unique_ptr<UpdateDownloadThread> worker_;
    // A question about the version page may be open: no new check starts meanwhile.
    bool weighing_ = false;
    // The running round was started by "检查更新(&C)".
    bool askedByUser_ = false;
};
