#pragma once

#include "ftp/TlsMode.h"

#include <QString>

#include <memory>

class CertificateJudge;
class ControlChannel;
class FtpClient;
class TlsContext;
class TlsStream;

// Puts the control connection under TLS before the logon (AUTH TLS), judges the server's
// certificate and asks for protected data connections (PROT P).
class TlsNegotiation {
public:
    TlsNegotiation(FtpClient& client, ControlChannel& control);
    ~TlsNegotiation();
    TlsNegotiation(const TlsNegotiation&) = delete;
    TlsNegotiation& operator=(const TlsNegotiation&) = delete;

    void setJudge(std::shared_ptr<CertificateJudge> judge) { judge_ = std::move(judge); }
    // The mode the logon to the connected server runs in.
    TlsMode modeFor(TlsMode requested);
    bool negotiate(TlsMode mode);
    // Exists once the control connection ran TLS; data connections use it too.
    const TlsContext& context() const { return *context_; }

private:
    bool startControlTls();
    bool acceptPeerCertificate(const TlsStream& stream);
    bool protectData(TlsMode mode);

    FtpClient& client_;
    ControlChannel& control_;
    std::shared_ptr<CertificateJudge> judge_;
    std::unique_ptr<TlsContext> context_;
    // "host:port fingerprint" of the certificate the judge accepted last.
    QString acceptedCertificate_;
    bool trustedServer_ = false; // the judge remembers this server's certificate
};
