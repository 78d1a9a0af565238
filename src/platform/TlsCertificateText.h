#pragma once

#include "platform/TlsCertificate.h"

struct x509_st;

// The texts a user judges a server certificate by.
namespace tlscertificatetext {

// Subject, issuer, validity (UTC) and SHA-256 fingerprint of the certificate, with the reason
// its verification failed (verifyResult, an X509_V_ERR value; X509_V_OK: none).
TlsCertificate describe(x509_st* certificate, long verifyResult);
// Why verification failed, in words; "" for X509_V_OK.
QString verifyErrorText(long verifyResult);

} // namespace tlscertificatetext
