#include "session/LogonRecord.h"

#include "ftp/ServerAddress.h"

LogonInfo LogonRecord::logonInfo() const
{
    const ServerAddress address = ServerAddress::of(host);
    LogonInfo info;
    info.host = address.host;
    const bool ftpDefault = port == defaultPortOf(RemoteProtocol::Ftp);
    info.port = address.port.value_or(ftpDefault ? defaultPortOf(address.protocol) : port);
    info.user = user;
    info.password = password;
    info.tlsMode = address.tlsMode;
    info.protocol = address.protocol;
    return info;
}
