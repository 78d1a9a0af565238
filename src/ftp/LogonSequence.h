#pragma once

#include "platform/TextCodec.h"

#include <QString>

class ControlChannel;
class FtpClient;
class TlsNegotiation;
struct LogonInfo;

// The table-driven logon: connect, greeting, TLS when asked for, the commands of the logon
// type's row, then FEAT to learn the server's encoding of names.
class LogonSequence {
public:
    LogonSequence(FtpClient& client, ControlChannel& control, TlsNegotiation& tls);

    bool run(const LogonInfo& info);
    // The encoding the server announced for names at logon (UTF8 in FEAT), else GBK.
    TextCodec::Encoding serverEncoding() const { return serverEncoding_; }

private:
    enum class Result { LoggedOn, Refused, Failed };

    Result logOnOnce(const LogonInfo& info, TextCodec::Encoding encoding);
    void noteGreeting();
    Result runTable(const LogonInfo& info, const QString& hostText);
    bool negotiateEncoding();

    FtpClient& client_;
    ControlChannel& control_;
    TlsNegotiation& tls_;
    TextCodec::Encoding serverEncoding_ = TextCodec::Encoding::Gbk;
};
