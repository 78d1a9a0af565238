#pragma once

#include "platform/TextCodec.h"

#include <QString>

class ByteStream;
class ControlChannel;
class DataConnectionOpener;
class FtpClient;

// Receives a directory listing into the client's listBuffer over a data connection of its
// own, and cuts the buffer into lines.
class ListingReceiver {
public:
    ListingReceiver(FtpClient& client, ControlChannel& control, DataConnectionOpener& opener);

    // Sends the listing command (verb and argument, e.g. "LIST -a") and collects what the
    // data connection brings. The first reply is read here; the closing one is left to the
    // caller.
    bool receive(const QString& command);
    // The line at position into listLine, and position past it; false at the end.
    bool nextLine(qsizetype& position);
    TextCodec::Encoding lineEncoding() const { return lineEncoding_; }

private:
    bool receiveOnce(const QString& command, bool passive);
    bool receiveData(ByteStream& stream);

    FtpClient& client_;
    ControlChannel& control_;
    DataConnectionOpener& opener_;
    TextCodec::Encoding lineEncoding_ = TextCodec::Encoding::Utf8;
};
