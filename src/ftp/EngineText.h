#pragma once

#include "platform/LineReader.h"
#include "platform/TcpSocket.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>

#include <chrono>

class ByteStream;

// The texts and reply tests that the parts of the FTP engine share.
namespace enginetext {

// The engine's error texts, by their string resource ids.
enum class ErrorText {
    CannotOpenLocalFile = 105,
    File = 106,
    Network = 107,
    LogonFailed = 108,
    CannotCreateSocket = 109,
    CannotConnect = 110,
};

QString errorText(ErrorText id);
QString socketFault(TcpSocket::Error error, std::chrono::milliseconds timeout);
QString readFault(LineReader::Status status, std::chrono::milliseconds timeout);
// A data connection that went quiet is the network's fault; one that broke is reported as a
// file error.
QString dataIoError(const ByteStream& stream);
// Each line on its own: a server may keep names in both encodings, even in one folder.
TextCodec::Encoding lineEncoding(const QByteArray& line);
bool isRefusal(int replyClass);
// The server's word that the data connection failed or broke, not that it refuses the request.
bool namesBrokenDataConnection(const QString& reply);

} // namespace enginetext
