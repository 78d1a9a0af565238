#include "archived/PrivilegeDrop.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {
bool failed(QString& error, const char* step)
{
    error = QStringLiteral("%1 failed: %2")
                .arg(QLatin1String(step), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}
} // namespace

bool PrivilegeDrop::isRoot()
{
    return ::geteuid() == 0 || ::getuid() == 0;
}

bool PrivilegeDrop::to(const QString& user, QString& error)
{
    const QByteArray name = QFile::encodeName(user);
    errno = 0;
    const passwd* account = ::getpwnam(name.constData());
    if (!account) {
        error = QStringLiteral("no user %1").arg(user);
        return false;
    }
    const uid_t uid = account->pw_uid;
    const gid_t gid = account->pw_gid;
    if (!isRoot()) {
        if (uid == ::getuid())
            return true; // already that user
        error = QStringLiteral("only root can switch to another user");
        return false;
    }
    if (::initgroups(name.constData(), gid) != 0)
        return failed(error, "initgroups");
    if (::setgid(gid) != 0)
        return failed(error, "setgid");
    if (::setuid(uid) != 0)
        return failed(error, "setuid");
    // A root that could be taken back would make the drop worthless.
    if (uid != 0 && (::setuid(0) == 0 || ::geteuid() == 0)) {
        error = QStringLiteral("root could be regained");
        return false;
    }
    return true;
}
