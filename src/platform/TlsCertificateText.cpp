#include "platform/TlsCertificateText.h"

#include <QDateTime>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace tlscertificatetext {

namespace {

QString nameText(const X509_NAME* name)
{
    const std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
    // RFC 2253 order, non-ASCII characters left as UTF-8 instead of escaped.
    if (!out || X509_NAME_print_ex(out.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return QString();
    char* data = nullptr;
    const long size = BIO_get_mem_data(out.get(), &data);
    return QString::fromUtf8(data, static_cast<qsizetype>(size));
}

QString timeText(const ASN1_TIME* time)
{
    tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1)
        return QString();
    const QDateTime moment(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                           QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

QString fingerprintText(const X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return QString();
    const QByteArray bytes(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length));
    return QString::fromLatin1(bytes.toHex(':').toUpper());
}

} // namespace

TlsCertificate describe(x509_st* certificate, long verifyResult)
{
    TlsCertificate described;
    described.verifyError = verifyErrorText(verifyResult);
    if (certificate == nullptr)
        return described;
    described.subject = nameText(X509_get_subject_name(certificate));
    described.issuer = nameText(X509_get_issuer_name(certificate));
    described.notBefore = timeText(X509_get0_notBefore(certificate));
    described.notAfter = timeText(X509_get0_notAfter(certificate));
    described.sha256Fingerprint = fingerprintText(certificate);
    return described;
}

QString verifyErrorText(long verifyResult)
{
    switch (verifyResult) {
    case X509_V_OK:
        return QString();
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return QStringLiteral("证书是自签名的,不是受信任的机构签发的");
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return QStringLiteral("证书不是系统信任的机构签发的");
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QStringLiteral("证书已过期");
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QStringLiteral("证书尚未生效");
    case X509_V_ERR_HOSTNAME_MISMATCH:
        return QStringLiteral("证书不属于这个主机名");
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QStringLiteral("证书不属于这个 IP 地址");
    case X509_V_ERR_CERT_REVOKED:
        return QStringLiteral("证书已被吊销");
    default:
        return QStringLiteral("证书验证失败:") +
               QString::fromLatin1(X509_verify_cert_error_string(verifyResult));
    }
}

} // namespace tlscertificatetext
