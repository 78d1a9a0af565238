#pragma once

#include "platform/TcpListener.h"
#include "platform/TcpSocket.h"
#include "platform/TlsStream.h"

#include <QString>

#include <memory>

// The data connection of one listing or transfer; it never outlives the call.
struct DataChannel {
    bool passive = false;
    TcpListener listener;
    TcpSocket socket;
    std::unique_ptr<TlsStream> tls; // over socket, released before it
    bool replySeen = false;         // a reply to the transfer command has been read
    bool closingSeen = false;       // the server's closing reply has been read
    QString closingReply;

    ByteStream& stream() { return tls ? static_cast<ByteStream&>(*tls) : socket; }
    void close()
    {
        tls.reset();
        socket.close();
        listener.close();
    }
    // From another thread: ends the channel's waits at once.
    void interrupt()
    {
        listener.interrupt();
        socket.interrupt();
    }
};
