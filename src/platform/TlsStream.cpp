#include "platform/TlsStream.h"

#include "platform/SocketSupport.h"
#include "platform/TlsCertificateText.h"
#include "platform/TlsContext.h"
#include "platform/TlsSocketBio.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>

using namespace socketsupport;

namespace {

bool isIpAddress(const QByteArray& text)
{
    unsigned char address[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, text.constData(), address) == 1 ||
           ::inet_pton(AF_INET6, text.constData(), address) == 1;
}

// OpenSSL's reason for the failure it just reported, and clears its error queue.
QString lastOpenSslError()
{
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return QString();
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

int clampedSize(qint64 size)
{
    return static_cast<int>(std::min<qint64>(size, INT_MAX));
}

} // namespace

TlsStream::TlsStream(const TlsContext& context, TcpSocket& socket) : socket_(socket)
{
    if (!context.isValid() || !setNonBlocking(socket.descriptor(), true))
        return;
    BIO* bio = tlssocketbio::create(socket.descriptor());
    ssl_ = bio != nullptr ? SSL_new(context.handle()) : nullptr;
    if (ssl_ == nullptr) {
        BIO_free(bio);
        return;
    }
    SSL_set_bio(ssl_, bio, bio);
}

TlsStream::~TlsStream()
{
    SSL_free(ssl_);
}

void TlsStream::configurePeerName(const QString& peerName)
{
    const QByteArray name = peerName.toUtf8();
    X509_VERIFY_PARAM* parameters = SSL_get0_param(ssl_);
    if (isIpAddress(name)) {
        X509_VERIFY_PARAM_set1_ip_asc(parameters, name.constData());
        return;
    }
    SSL_set_tlsext_host_name(ssl_, name.constData());
    X509_VERIFY_PARAM_set_hostflags(parameters, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    X509_VERIFY_PARAM_set1_host(parameters, name.constData(), static_cast<size_t>(name.size()));
}

bool TlsStream::handshake(const QString& peerName, const TlsStream* resumeFrom,
                          std::chrono::milliseconds timeout)
{
    return startHandshake(peerName, resumeFrom) && finishHandshake(timeout);
}

bool TlsStream::startHandshake(const QString& peerName, const TlsStream* resumeFrom)
{
    if (ssl_ == nullptr) {
        error_ = TcpSocket::Error::Create;
        errorText_ = QStringLiteral("无法建立 TLS 连接");
        return false;
    }
    configurePeerName(peerName);
    if (resumeFrom != nullptr && resumeFrom->ssl_ != nullptr) {
        // The latest session: under TLS 1.3 the server's tickets replace the handshake's one.
        SSL_SESSION* session = SSL_get1_session(resumeFrom->ssl_);
        if (session != nullptr) {
            SSL_set_session(ssl_, session);
            SSL_SESSION_free(session);
        }
    }
    ERR_clear_error();
    const int result = SSL_connect(ssl_);
    const int code = SSL_get_error(ssl_, result);
    if (result == 1 || code == SSL_ERROR_WANT_READ || code == SSL_ERROR_WANT_WRITE)
        return true;
    awaitRetry(result, Clock::now());
    return failHandshake();
}

bool TlsStream::finishHandshake(std::chrono::milliseconds timeout)
{
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(ssl_);
        if (result == 1) {
            error_ = TcpSocket::Error::None;
            return true;
        }
        if (awaitRetry(result, deadline) != Progress::Retry)
            return failHandshake();
    }
}

bool TlsStream::failHandshake()
{
    const QString reason = errorText_;
    if (timedOut())
        errorText_ = QStringLiteral("TLS 握手超时");
    else
        errorText_ = QStringLiteral("TLS 握手失败") +
                     (reason.isEmpty() ? QString() : QStringLiteral(":") + reason);
    return false;
}

// After a call that did not complete: waits for what OpenSSL needs (Retry), or tells that the
// peer ended the TLS stream in order (Ended) or that the stream failed (error_, errorText_).
TlsStream::Progress TlsStream::awaitRetry(int result, Clock::time_point deadline)
{
    const int code = SSL_get_error(ssl_, result);
    if (code == SSL_ERROR_WANT_READ || code == SSL_ERROR_WANT_WRITE) {
        const short events = code == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
        const WaitResult waited = waitFor(socket_.descriptor(), events, deadline);
        if (waited == WaitResult::Ready)
            return Progress::Retry;
        error_ = waited == WaitResult::TimedOut ? TcpSocket::Error::TimedOut : TcpSocket::Error::Io;
        errorText_.clear();
        return Progress::Failed;
    }
    if (code == SSL_ERROR_ZERO_RETURN) {
        error_ = TcpSocket::Error::Closed;
        return Progress::Ended;
    }
    // An end of the connection without close_notify included: the data may have been cut.
    error_ = TcpSocket::Error::Io;
    errorText_ = lastOpenSslError();
    if (errorText_.isEmpty())
        errorText_ = QStringLiteral("连接被中断");
    return Progress::Failed;
}

// Reads as many records as are already here, so that a large buffer is filled with one call;
// waits only while nothing has arrived yet.
qint64 TlsStream::receive(char* data, qint64 size, std::chrono::milliseconds timeout)
{
    const auto deadline = deadlineAfter(timeout);
    qint64 total = 0;
    while (total < size) {
        ERR_clear_error();
        const int result = SSL_read(ssl_, data + total, clampedSize(size - total));
        if (result > 0) {
            total += result;
            continue;
        }
        const bool wouldWait = SSL_get_error(ssl_, result) == SSL_ERROR_WANT_READ;
        if (total > 0 && wouldWait)
            break;
        const Progress progress = awaitRetry(result, total > 0 ? Clock::now() : deadline);
        if (progress == Progress::Ended)
            return total;
        if (progress == Progress::Failed)
            return total > 0 ? total : -1;
    }
    error_ = TcpSocket::Error::None;
    return total;
}

qint64 TlsStream::sendSome(const char* data, qint64 size, std::chrono::milliseconds timeout)
{
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_write(ssl_, data, clampedSize(size));
        if (result > 0) {
            error_ = TcpSocket::Error::None;
            return result;
        }
        if (awaitRetry(result, deadline) != Progress::Retry)
            return timedOut() ? 0 : -1;
    }
}

bool TlsStream::hasPendingData() const
{
    return ssl_ != nullptr && SSL_has_pending(ssl_) == 1;
}

bool TlsStream::shutdown(std::chrono::milliseconds timeout)
{
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_shutdown(ssl_);
        if (result == 1)
            return true;
        // 0: our close_notify is out; the next call reads the peer's.
        if (result == 0 && Clock::now() >= deadline)
            return false;
        if (result < 0 && awaitRetry(result, deadline) != Progress::Retry)
            return false;
    }
}

bool TlsStream::verified() const
{
    return ssl_ != nullptr && SSL_get0_peer_certificate(ssl_) != nullptr &&
           SSL_get_verify_result(ssl_) == X509_V_OK;
}

TlsCertificate TlsStream::peerCertificate() const
{
    if (ssl_ == nullptr)
        return TlsCertificate();
    X509* certificate = SSL_get0_peer_certificate(ssl_);
    TlsCertificate described =
        tlscertificatetext::describe(certificate, SSL_get_verify_result(ssl_));
    if (certificate == nullptr)
        described.verifyError = QStringLiteral("服务器没有出示证书");
    return described;
}

bool TlsStream::sessionReused() const
{
    return ssl_ != nullptr && SSL_session_reused(ssl_) == 1;
}

QString TlsStream::description() const
{
    if (ssl_ == nullptr)
        return QString();
    return QString::fromLatin1(SSL_get_version(ssl_)) + QStringLiteral(", ") +
           QString::fromLatin1(SSL_get_cipher_name(ssl_));
}
