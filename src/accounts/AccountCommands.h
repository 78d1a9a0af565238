#pragma once

#include <QString>

// The two commands of the main form that store an account: "保存账号" stores the account of
// the connection, "添加账号(&T)" the one typed in the account dialog. The view shows the
// message that goes with the outcome, if any.

enum class AccountSaveOutcome {
    Saved,
    AlreadySaved, // same server, user and password; the port is not compared
    NotConnected,
    Incomplete, // server, user or password empty: nothing to store, nothing to say
    Unstorable, // a field holds CR, LF or NUL
    Failed,
};

AccountSaveOutcome SaveAccountUnlessKnown(const QString& listPath, bool connected,
                                          const QString& host, int port, const QString& user,
                                          const QString& password);
AccountSaveOutcome AddAccount(const QString& listPath, const QString& server, int port,
                              const QString& user, const QString& password);

// The texts to show for each command's outcome; empty when nothing is shown.
QString SaveAccountMessage(AccountSaveOutcome outcome);
QString AddAccountMessage(AccountSaveOutcome outcome);

// Shown whenever an account with a line break or NUL in it is refused.
QString UnstorableAccountMessage();
