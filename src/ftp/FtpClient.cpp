#include "ftp/FtpClient.h"

#include "platform/TlsStream.h"

FtpClient::FtpClient(Prompt* prompt) : transfers_(*this, control_, opener_, prompt) {}

FtpClient::~FtpClient()
{
    Disconnect();
}

bool FtpClient::Connect(const QString& hostName, int portNumber)
{
    return control_.connect(hostName, portNumber);
}

void FtpClient::Disconnect()
{
    control_.disconnect();
}

void FtpClient::Interrupt()
{
    control_.interrupt();
}

bool FtpClient::isConnected() const
{
    return control_.isConnected();
}

void FtpClient::setTimeout(std::chrono::milliseconds timeout)
{
    control_.setTimeout(timeout);
}

QString FtpClient::tlsDescription() const
{
    return tlsInUse() ? control_.tls()->description() : QString();
}

bool FtpClient::SendCommand(const QString& text)
{
    return control_.sendCommand(text);
}

bool FtpClient::ReadLine()
{
    return control_.readLine();
}

bool FtpClient::ReadReply()
{
    return control_.readReply();
}

bool FtpClient::Command(const QString& text)
{
    return control_.command(text);
}

bool FtpClient::Logon(const LogonInfo& info)
{
    host = info.host;
    port = info.port;
    user = info.user;
    password = info.password;
    machineListingRefused_ = false;
    return logon_.run(info);
}

// The first reply after PWD may be a stale one of an earlier command, so it is never taken
// for a refusal.
QString FtpClient::QueryPwd()
{
    if (!control_.exchange(QStringLiteral("PWD")) ||
        !control_.readUntilCode(QLatin1String("257"), false))
        return QStringLiteral("0");
    const QString path = replyLine.mid(5);
    return path.left(path.indexOf(QLatin1Char('"')));
}

QString FtpClient::QuerySize(const QString& name)
{
    if (!control_.exchange(QStringLiteral("SIZE ") + name) ||
        !control_.readUntilCode(QLatin1String("213"), true))
        return QStringLiteral("0");
    return replyLine.mid(3).trimmed();
}

bool FtpClient::List(const QString& argument)
{
    return listing_.receive(QStringLiteral("LIST ") + argument);
}

bool FtpClient::Rename(const QString& from, const QString& to)
{
    if (!SendCommand(QStringLiteral("RNFR ") + from) ||
        !SendCommand(QStringLiteral("RNTO ") + to) || !ReadReply())
        return false;
    const bool sourceTaken = replyClass == 3;
    const QString sourceReply = replyLine;
    if (!ReadReply())
        return false;
    if (!sourceTaken)
        replyLine = sourceReply;
    return sourceTaken && replyClass == 2;
}

bool FtpClient::ListFolder(const QString& folder)
{
    if (!features().has(QStringLiteral("MLST")) || machineListingRefused_)
        return List(folder);
    if (listing_.receive(folder.isEmpty() ? QStringLiteral("MLSD")
                                          : QStringLiteral("MLSD ") + folder))
        return true;
    if (!isConnected() || (replyClass != 4 && replyClass != 5))
        return false;
    // 500, 502 and 504: the command itself is unknown, whatever the folder.
    const int code = replyLine.left(3).toInt();
    machineListingRefused_ = code == 500 || code == 502 || code == 504;
    return List(folder);
}

bool FtpClient::NextListLine(qsizetype& position)
{
    return listing_.nextLine(position);
}

bool FtpClient::TransferFile(const QString& remote, const QString& local, bool passive,
                             bool download, const QString& extra)
{
    bytesDone = 0;
    lastRemote = remote;
    lastLocal = local;
    lastPassive = passive;
    lastDownload = download;
    lastExtra = extra;
    abortRequested = 0;
    transferDone = 0;
    transferActive = 1;
    return transfers_.transfer(remote, local, passive, download);
}
