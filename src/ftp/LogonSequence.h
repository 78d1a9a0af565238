#pragma once

#include "ftp/ServerFeatures.h"
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
    // What the server announced in FEAT at the last logon.
    const ServerFeatures& features() const { return features_; }
    // Counts the successful logons, so that what was learnt about one connection is not taken
    // for the next.
    int count() const { return count_; }

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
    ServerFeatures features_;
    int count_ = 0;
};
