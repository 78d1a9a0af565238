#pragma once

#include "platform/TlsCertificate.h"

#include <QString>

// Decides on a server certificate that failed verification. One judge serves a session and
// its transfer workers, on their own threads, so implementations are thread-safe.
class CertificateJudge {
public:
    virtual ~CertificateJudge() = default;
    virtual bool acceptCertificate(const QString& host, int port,
                                   const TlsCertificate& certificate) = 0;
    // A certificate of the server was trusted for good: the server must speak TLS.
    virtual bool remembersCertificate(const QString& /*host*/, int /*port*/) { return false; }
};
