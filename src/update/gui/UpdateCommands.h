#pragma once

#include "update/SelfUpdate.h"

#include <QCoreApplication>
#include <QString>

class CftpView;
class Prompt;

// The update as the main view offers it: "检查更新(&C)" and "更新设置(&U)" on the view's
// command dispatcher, and the check that the view's start-up runs with its other workers.
class UpdateCommands {
public:
    UpdateCommands(CftpView& view, Prompt& prompt,
                   QString runningFile = QCoreApplication::applicationFilePath(),
                   QString builtInServer = UpdateSettings::builtInServer());

    // For the view's start-up: checks in the background unless the mode forbids it.
    void startAtStartup() { update_.startAtStartup(); }
    void CheckForUpdates() { update_.CheckForUpdates(); }
    // Shows "更新设置"; after OK the view takes the stored mode again.
    void OnUpdateSettings();

private:
    CftpView& view_;
    SelfUpdate update_;
};
