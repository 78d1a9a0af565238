#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The byte layout of the few SFTP packets the pipelined transfers write and read themselves:
// every packet is its length (4 bytes, big-endian), a type byte and a request id, followed by
// the type's fields; strings are a 4-byte length and their bytes.
namespace sftpwire {

enum Type : quint8 {
    Read = 5,
    Write = 6,
    Extended = 200,
    Status = 101,
    Data = 103,
    ExtendedReply = 201
};
enum StatusCode : quint32 { Ok = 0, EndOfFile = 1 };

QByteArray readRequest(quint32 id, const QByteArray& handle, quint64 offset, quint32 length);
// The header of a write request; the data follows it on the wire.
QByteArray writeHeader(quint32 id, const QByteArray& handle, quint64 offset, quint32 length);
QByteArray extendedRequest(quint32 id, const QByteArray& name);

struct Reply {
    quint8 type = 0;
    quint32 id = 0;
    quint32 status = 0; // Status replies
    QByteArray text;    // Data: the bytes; Status: the message; ExtendedReply: the fields
};

// Takes one whole packet from the front of buffer (from position on); nothing while the packet
// is incomplete. A malformed packet sets malformed.
std::optional<Reply> takeReply(const QByteArray& buffer, qsizetype& position, bool& malformed);

// Packets larger than this are refused as malformed, so a hostile server cannot make the
// client reserve unbounded memory.
constexpr quint32 maximumPacket = 512 * 1024;

quint32 readUint32(const char* data);
quint64 readUint64(const char* data);

} // namespace sftpwire
