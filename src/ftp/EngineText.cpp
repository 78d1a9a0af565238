#include "ftp/EngineText.h"

#include "platform/ByteStream.h"

namespace enginetext {

QString errorText(ErrorText id)
{
    switch (id) {
    case ErrorText::CannotOpenLocalFile:
        return QStringLiteral("不能打开本地文件");
    case ErrorText::File:
        return QStringLiteral("文件错误");
    case ErrorText::Network:
        return QStringLiteral("网络错误");
    case ErrorText::LogonFailed:
        return QStringLiteral("登录失败");
    case ErrorText::CannotCreateSocket:
        return QStringLiteral("不能创建SOCKET");
    case ErrorText::CannotConnect:
        return QStringLiteral("不能连接服务器");
    }
    return QString();
}

QString socketFault(TcpSocket::Error error, std::chrono::milliseconds timeout)
{
    switch (error) {
    case TcpSocket::Error::Resolve:
        return QStringLiteral("找不到服务器(主机名无法解析)");
    case TcpSocket::Error::Create:
        return QStringLiteral("不能创建SOCKET");
    case TcpSocket::Error::Connect:
        return QStringLiteral("服务器拒绝连接或无法到达");
    case TcpSocket::Error::TimedOut:
        return QStringLiteral("服务器%1秒内没有应答").arg(timeout.count() / 1000.0);
    case TcpSocket::Error::Closed:
        return QStringLiteral("服务器关闭了连接");
    default:
        return QStringLiteral("网络读写失败");
    }
}

QString readFault(LineReader::Status status, std::chrono::milliseconds timeout)
{
    switch (status) {
    case LineReader::Status::Closed:
        return socketFault(TcpSocket::Error::Closed, timeout);
    case LineReader::Status::TimedOut:
        return socketFault(TcpSocket::Error::TimedOut, timeout);
    case LineReader::Status::TooLong:
        return QStringLiteral("服务器的应答行过长");
    default:
        return socketFault(TcpSocket::Error::Io, timeout);
    }
}

QString dataIoError(const ByteStream& stream)
{
    return errorText(stream.timedOut() ? ErrorText::Network : ErrorText::File);
}

TextCodec::Encoding lineEncoding(const QByteArray& line)
{
    return TextCodec::isValidUtf8(line) ? TextCodec::Encoding::Utf8 : TextCodec::Encoding::Gbk;
}

bool isRefusal(int replyClass)
{
    return replyClass == 4 || replyClass == 5;
}

bool namesBrokenDataConnection(const QString& reply)
{
    return reply.startsWith(QLatin1String("425")) || reply.startsWith(QLatin1String("426")) ||
           reply.startsWith(QLatin1String("451"));
}

} // namespace enginetext
