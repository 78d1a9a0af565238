#include "accounts/AccountCommands.h"

#include "accounts/AccountFile.h"

namespace {

AccountSaveOutcome outcomeOf(AccountWrite write)
{
    switch (write) {
    case AccountWrite::Written:
        return AccountSaveOutcome::Saved;
    case AccountWrite::Refused:
        return AccountSaveOutcome::Unstorable;
    case AccountWrite::Failed:
        break;
    }
    return AccountSaveOutcome::Failed;
}

bool isSaved(const QString& listPath, const QString& host, const QString& user,
             const QString& password)
{
    AccountRecord record;
    for (qsizetype cursor = 0; NextSavedAccount(listPath, cursor, record);) {
        if (record.server == host && record.user == user && record.password == password)
            return true;
    }
    return false;
}

} // namespace

AccountSaveOutcome SaveAccountUnlessKnown(const QString& listPath, bool connected,
                                          const QString& host, int port, const QString& user,
                                          const QString& password)
{
    if (!connected)
        return AccountSaveOutcome::NotConnected;
    if (host.isEmpty() || user.isEmpty() || password.isEmpty())
        return AccountSaveOutcome::Incomplete;
    if (isSaved(listPath, host, user, password))
        return AccountSaveOutcome::AlreadySaved;
    return outcomeOf(AppendAccount(host, port, user, password, listPath));
}

AccountSaveOutcome AddAccount(const QString& listPath, const QString& server, int port,
                              const QString& user, const QString& password)
{
    return outcomeOf(AppendAccount(server, port, user, password, listPath));
}

QString SaveAccountMessage(AccountSaveOutcome outcome)
{
    switch (outcome) {
    case AccountSaveOutcome::Saved:
        return QStringLiteral("已保存至服务器列表");
    case AccountSaveOutcome::AlreadySaved:
        return QStringLiteral("已保存过此账号");
    case AccountSaveOutcome::NotConnected:
        return QStringLiteral("请先连接至服务器");
    case AccountSaveOutcome::Unstorable:
        return UnstorableAccountMessage();
    case AccountSaveOutcome::Failed:
        return QStringLiteral("添加失败");
    case AccountSaveOutcome::Incomplete:
        break;
    }
    return {};
}

QString AddAccountMessage(AccountSaveOutcome outcome)
{
    switch (outcome) {
    case AccountSaveOutcome::Saved:
        return QStringLiteral("添加新账号成功");
    case AccountSaveOutcome::Unstorable:
        return UnstorableAccountMessage();
    case AccountSaveOutcome::Failed:
        return QStringLiteral("添加失败");
    case AccountSaveOutcome::AlreadySaved:
    case AccountSaveOutcome::NotConnected:
    case AccountSaveOutcome::Incomplete:
        break;
    }
    return {};
}

QString UnstorableAccountMessage()
{
    return QStringLiteral("服务器、用户名和密码不能包含换行符或空字符");
}
