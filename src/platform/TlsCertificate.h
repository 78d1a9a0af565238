#pragma once

#include <QString>

// What the user needs to judge a server certificate that failed verification. Texts are
// ready to show; the fingerprint is the SHA-256 of the DER form as colon-separated hex pairs.
struct TlsCertificate {
    QString subject;
    QString issuer;
    QString notBefore;
    QString notAfter;
    QString sha256Fingerprint;
    QString verifyError; // why verification against the trust store or the host name failed
};
