#include "update/UpdateSettings.h"

#include "platform/Profile.h"

namespace {
const QString Section = QStringLiteral("UPdata");
} // namespace

int UpdateSettings::readMode(const QString& configPath, int defaultValue)
{
    return Profile(configPath).readInt(Section, QStringLiteral("mode"), defaultValue);
}

bool UpdateSettings::writeMode(const QString& configPath, int mode)
{
    return Profile(configPath).writeString(Section, QStringLiteral("mode"), QString::number(mode));
}

QString UpdateSettings::builtInServer()
{
    return QStringLiteral(KEVRA_UPDATE_SERVER);
}

QString UpdateSettings::server(const QString& configPath, const QString& builtIn)
{
    return Profile(configPath).readString(Section, QStringLiteral("server"), builtIn).trimmed();
}

QString UpdateSettings::versionPageAddress(const QString& server)
{
    QString base = server.trimmed();
    if (base.isEmpty())
        return QString();
    if (!base.contains(QStringLiteral("://")))
        base.prepend(QStringLiteral("http://"));
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + QStringLiteral("/updata/updata.html");
}
