#pragma once

// What a server speaks, as the scheme of its address says: "sftp://" is SFTP over SSH, every
// other address FTP.
enum class RemoteProtocol { Ftp, Sftp };

// The port a server listens on when its address names none.
constexpr int defaultPortOf(RemoteProtocol protocol)
{
    return protocol == RemoteProtocol::Sftp ? 22 : 21;
}
