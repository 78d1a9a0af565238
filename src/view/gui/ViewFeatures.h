#pragma once

#include <QString>

#include <memory>

class AccountController;
class CftpView;
class Prompt;
class SessionController;

// Everything the main view does beyond showing its controls, attached to one view: sessions
// and the remote pane, the local pane, the file commands. Built before the view's initial
// update, whose start-up hooks it fills.
class ViewFeatures {
public:
    ViewFeatures(CftpView& view, Prompt& prompt, const QString& workFolder);
    ~ViewFeatures();

    SessionController& sessions() { return *sessions_; }

private:
    std::unique_ptr<SessionController> sessions_;
    std::unique_ptr<AccountController> accounts_; // uses sessions_: declared after it
};
