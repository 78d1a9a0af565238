#include "ftp/TlsNegotiation.h"

#include "ftp/CertificateJudge.h"
#include "ftp/ControlChannel.h"
#include "ftp/FtpClient.h"
#include "platform/TlsContext.h"
#include "platform/TlsStream.h"

TlsNegotiation::TlsNegotiation(FtpClient& client, ControlChannel& control)
    : client_(client), control_(control)
{
}

TlsNegotiation::~TlsNegotiation() = default;

// A server whose certificate the user chose to trust spoke TLS before: one that now refuses it
// may be an impostor on the way, so it gets no password in clear.
TlsMode TlsNegotiation::modeFor(TlsMode requested)
{
    trustedServer_ = requested == TlsMode::Opportunistic && judge_ &&
                     judge_->remembersCertificate(control_.peerName(), control_.peerPort());
    return trustedServer_ ? TlsMode::Required : requested;
}

// AUTH TLS comes before the logon, so that no password crosses in clear. In opportunistic
// mode a server that refuses it is used in clear; in required mode there is no logon.
bool TlsNegotiation::negotiate(TlsMode mode)
{
    if (!control_.exchange(QStringLiteral("AUTH TLS")))
        return false;
    if (!client_.replyLine.startsWith(QLatin1String("234"))) {
        if (trustedServer_)
            return control_.fail(
                QStringLiteral("服务器拒绝了 TLS 加密(") + client_.replyLine +
                QStringLiteral("),但它的证书已被信任(trust.dat),为保护密码未登录"));
        if (mode == TlsMode::Required)
            return control_.fail(QStringLiteral("服务器不支持 TLS 加密,未登录"));
        client_.logonLog += QStringLiteral("未加密连接(服务器不支持 TLS)\r\n");
        return true;
    }
    if (!startControlTls())
        return false;
    client_.logonLog +=
        QStringLiteral("已启用 TLS 加密:") + control_.tls()->description() + QStringLiteral("\r\n");
    return protectData(mode);
}

bool TlsNegotiation::startControlTls()
{
    if (!context_)
        context_ = std::make_unique<TlsContext>();
    std::unique_ptr<TlsStream> stream = control_.startTls(*context_);
    if (!stream || !acceptPeerCertificate(*stream))
        return false;
    control_.adoptTls(std::move(stream));
    return true;
}

// A certificate the system does not vouch for is the judge's call. The judge may ask the user
// and wait; the handshake is over by then, so its time-out does not run meanwhile.
bool TlsNegotiation::acceptPeerCertificate(const TlsStream& stream)
{
    if (stream.verified())
        return true;
    const TlsCertificate certificate = stream.peerCertificate();
    const QString host = control_.peerName();
    const int port = control_.peerPort();
    // A reconnection (or the logon's second try) to the same server is not asked about again.
    const QString judged =
        QStringLiteral("%1:%2 %3").arg(host).arg(port).arg(certificate.sha256Fingerprint);
    if (judged == acceptedCertificate_)
        return true;
    if (judge_ && judge_->acceptCertificate(host, port, certificate)) {
        acceptedCertificate_ = judged;
        return true;
    }
    return control_.fail(QStringLiteral("服务器证书未通过验证,已拒绝连接:") +
                         certificate.verifyError);
}

// A server that keeps the data connections in clear is refused in required mode; in
// opportunistic mode the logon at least stays protected.
bool TlsNegotiation::protectData(TlsMode mode)
{
    if (!control_.exchange(QStringLiteral("PBSZ 0")) ||
        !control_.exchange(QStringLiteral("PROT P")))
        return false;
    if (client_.replyClass == 2) {
        control_.setDataProtected(true);
        return true;
    }
    if (mode == TlsMode::Required)
        return control_.fail(QStringLiteral("服务器拒绝加密数据连接(PROT P),未登录"));
    client_.logonLog += QStringLiteral("数据连接未加密(服务器拒绝 PROT P)\r\n");
    return true;
}
