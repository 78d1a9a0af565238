#include "accounts/gui/AccountController.h"

#include "accounts/AccountCommands.h"
#include "accounts/AccountFile.h"
#include "accounts/AccountRecord.h"
#include "config/Configuration.h"
#include "platform/Prompt.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/SessionController.h"

#include <optional>

AccountController::AccountController(CftpView& view, SessionController& sessions, Prompt& prompt,
                                     QObject* parent)
    : QObject(parent), view_(view), sessions_(sessions), prompt_(prompt),
      serverList_(prompt, &view), accountDialog_(prompt, &view)
{
    connect(&view_, &CftpView::serverListRequested, this, &AccountController::showServerList);
    connect(&view_, &CftpView::saveAccountRequested, this, &AccountController::saveAccount);
    view_.commands().setHandler(CommandId::AddAccount, [this] { addAccount(); });
}

// The work path is read at each use, as the user may move it while the program runs.
QString AccountController::listPath() const
{
    return AccountListPath(view_.configuration().workPath);
}

void AccountController::showServerList()
{
    serverList_.setListPath(listPath());
    if (serverList_.exec() != QDialog::Accepted)
        return;
    view_.setHost(serverList_.server());
    view_.setUser(serverList_.user());
    view_.setPort(AccountRecord::portFromText(serverList_.port()));
    view_.setPassword(serverList_.password());
    sessions_.OnConnect();
}

void AccountController::addAccount()
{
    if (accountDialog_.exec() != QDialog::Accepted)
        return;
    const AccountSaveOutcome outcome =
        AddAccount(listPath(), accountDialog_.server(), accountDialog_.port(),
                   accountDialog_.user(), accountDialog_.password());
    tellUnlessEmpty(AddAccountMessage(outcome));
}

// A port field the user has emptied or spoilt since connecting would store an account that
// cannot connect; it is refused with the same message Connect gives.
void AccountController::saveAccount()
{
    const bool connected = sessions_.isConnected();
    const std::optional<int> port = view_.port();
    if (connected && !port) {
        if (hasAccountFields())
            prompt_.tell(QStringLiteral("请输入一个整数。"));
        return;
    }
    tellUnlessEmpty(SaveAccountMessage(SaveAccountUnlessKnown(
        listPath(), connected, view_.host(), port.value_or(0), view_.user(), view_.password())));
}

bool AccountController::hasAccountFields() const
{
    return !view_.host().isEmpty() && !view_.user().isEmpty() && !view_.password().isEmpty();
}

void AccountController::tellUnlessEmpty(const QString& message)
{
    if (!message.isEmpty())
        prompt_.tell(message);
}
