#include "update/gui/UpdateCommands.h"

#include "update/gui/Cupdata.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"

#include <utility>

UpdateCommands::UpdateCommands(CftpView& view, Prompt& prompt, QString runningFile,
                               QString builtInServer)
    : view_(view),
      update_(prompt, SelfUpdate::Context{ProgramFiles{std::move(runningFile)},
                                          [&view] { return view.configuration().configPath; },
                                          [&view] { return view.configuration().updateMode; },
                                          std::move(builtInServer)})
{
    view_.commands().setHandler(CommandId::CheckForUpdates, [this] { CheckForUpdates(); });
    view_.commands().setHandler(CommandId::UpdateSettings, [this] { OnUpdateSettings(); });
}

void UpdateCommands::OnUpdateSettings()
{
    Configuration& config = view_.configuration();
    Cupdata dialog(config.configPath, &view_);
    if (dialog.exec() == QDialog::Accepted)
        config.updateMode = UpdateSettings::readMode(config.configPath, 0);
}
