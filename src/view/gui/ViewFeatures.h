#pragma once

#include <QString>

#include <memory>

class CftpView;
class LocalFileCommands;
class LocalPaneController;
class PaneDragDrop;
class Prompt;
class RemoteFileCommands;
class SessionController;
class SharedListBehaviour;

// Everything the main view does beyond showing its controls, attached to one view: sessions
// and the remote pane, the local pane, the file commands. Built before the view's initial
// update, whose start-up hooks it fills.
class ViewFeatures {
public:
    ViewFeatures(CftpView& view, Prompt& prompt, const QString& workFolder);
    ~ViewFeatures();

    SessionController& sessions() { return *sessions_; }
    LocalPaneController& localPane() { return *localPane_; }
    // The remote pane installs the remote branch of the delete command here.
    LocalFileCommands& localCommands() { return *localCommands_; }

private:
    std::unique_ptr<SessionController> sessions_;
    std::unique_ptr<SharedListBehaviour> lists_;
    std::unique_ptr<LocalPaneController> localPane_;
    std::unique_ptr<LocalFileCommands> localCommands_;   // uses localPane_: declared after it
    std::unique_ptr<RemoteFileCommands> remoteCommands_; // uses sessions_
    std::unique_ptr<PaneDragDrop> dragDrop_;             // uses localPane_ and sessions_
};
