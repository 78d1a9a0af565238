#include "session/RemoteFileSystem.h"

#include "session/FtpFileSystem.h"
#include "session/SftpFileSystem.h"

std::shared_ptr<RemoteFileSystem> RemoteFileSystem::create(RemoteProtocol protocol, Prompt* prompt)
{
    if (protocol == RemoteProtocol::Sftp)
        return std::make_shared<SftpFileSystem>(prompt);
    return std::make_shared<FtpFileSystem>(prompt);
}
