#include "session/FolderLink.h"

#include "session/RemoteFileSystem.h"
#include "session/RemoteNameEncodings.h"

namespace {
QString withSlash(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
} // namespace

// Servers that answer PWD with the resolved folder (vsftpd does) show where the link leads;
// a server that answers with the link's own path shows no loop, and the walks' depth bound
// stops that one.
FolderLink::Kind FolderLink::Classify(RemoteFileSystem& client,
                                      const RemoteNameEncodings& encodings, const QString& path)
{
    if (!client.Command(QStringLiteral("CWD ") + encodings.onWire(client, path)))
        return Kind::NotAFolder;
    const QString reached = client.QueryPwd();
    if (reached == QLatin1String("0") || !reached.startsWith(u'/'))
        return Kind::Folder;
    const bool above = withSlash(parentOf(path)).startsWith(withSlash(reached));
    return above ? Kind::LoopBack : Kind::Folder;
}
