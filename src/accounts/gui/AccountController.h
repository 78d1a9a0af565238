#pragma once

#include "accounts/gui/CIDDlg.h"
#include "accounts/gui/Cftplist.h"

#include <QObject>

class CftpView;
class Prompt;
class SessionController;

// The saved accounts on the main form: "服务器列表" picks a saved account and connects with it,
// "添加账号(&T)" stores a typed account, "保存账号" stores the account of the connection. The
// two dialogs live as long as the view and keep their values between uses; the controller must
// not outlive the view, which is their parent window.
class AccountController : public QObject {
    Q_OBJECT
public:
    AccountController(CftpView& view, SessionController& sessions, Prompt& prompt,
                      QObject* parent = nullptr);

    void showServerList();
    void addAccount();
    void saveAccount();

private:
    QString listPath() const;
    bool hasAccountFields() const;
    void tellUnlessEmpty(const QString& message);

    CftpView& view_;
    SessionController& sessions_;
    Prompt& prompt_;
    Cftplist serverList_;
    CIDDlg accountDialog_; // the view's own, separate from the server list's editor
};
