#include "view/gui/ViewFeatures.h"

#include "platform/Paths.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/LocalFileCommands.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/PaneDragDrop.h"
#include "view/gui/RemoteFileCommands.h"
#include "view/gui/SessionController.h"
#include "view/gui/SharedListBehaviour.h"

ViewFeatures::ViewFeatures(CftpView& view, Prompt& prompt, const QString& workFolder)
    : sessions_(std::make_unique<SessionController>(view, prompt, workFolder)),
      lists_(std::make_unique<SharedListBehaviour>(view)),
      localPane_(std::make_unique<LocalPaneController>(view, prompt)),
      localCommands_(std::make_unique<LocalFileCommands>(view, *localPane_, prompt)),
      remoteCommands_(std::make_unique<RemoteFileCommands>(view, *sessions_, prompt)),
      dragDrop_(std::make_unique<PaneDragDrop>(view, *localPane_, *sessions_, prompt))
{
    // One delete command serves both panes: the local selection when there is one.
    localCommands_->setRemoteDelete([this] { remoteCommands_->deleteSelected(); });
    view.commands().setHandler(CommandId::RemoteDelete,
                               [&view] { view.commands().dispatch(CommandId::Delete); });
    CftpView::StartupHooks hooks;
    hooks.fillLocalDrives = [this] { localPane_->fillLocalDrives(Paths::desktopFolder()); };
    hooks.enterDesktopFolder = [this] { localPane_->enterDesktopFolder(); };
    view.setStartupHooks(std::move(hooks));
}

ViewFeatures::~ViewFeatures() = default;
