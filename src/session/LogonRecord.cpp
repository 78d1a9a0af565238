#include "session/LogonRecord.h"

#include "ftp/ServerAddress.h"

LogonInfo LogonRecord::logonInfo() const
{
    const ServerAddress address = ServerAddress::of(host);
    LogonInfo info;
    info.host = address.host;
    info.port = address.port.value_or(port);
    info.user = user;
    info.password = password;
    info.tlsMode = address.tlsMode;
    return info;
}
