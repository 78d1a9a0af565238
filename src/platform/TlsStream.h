#pragma once

#include "platform/ByteStream.h"
#include "platform/TcpSocket.h"
#include "platform/TlsCertificate.h"

#include <QString>

#include <chrono>

class TlsContext;
struct ssl_st;

// TLS, as the client, over a connected TcpSocket that the stream borrows: the socket must
// outlive the stream, and closing it stays the owner's business. The socket is switched to
// non-blocking mode; every handshake, read, write and shutdown is bounded by the time-out of
// the call, and TcpSocket::interrupt() from another thread ends it at once.
class TlsStream final : public ByteStream {
public:
    TlsStream(const TlsContext& context, TcpSocket& socket);
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Runs the handshake for the server known as peerName (a host name or an IP address: sent
    // as SNI and checked against the certificate). With resumeFrom, offers that stream's
    // session for resumption. False with errorText() when it fails or times out; a
    // certificate that fails verification does not fail the handshake (see verified()).
    bool handshake(const QString& peerName, const TlsStream* resumeFrom,
                   std::chrono::milliseconds timeout);
    // The same in two steps: the first sends the client's opening message without waiting,
    // so the server's answer can be awaited beside other events; the second completes it.
    bool startHandshake(const QString& peerName, const TlsStream* resumeFrom);
    bool finishHandshake(std::chrono::milliseconds timeout);

    qint64 receive(char* data, qint64 size, std::chrono::milliseconds timeout) override;
    qint64 sendSome(const char* data, qint64 size, std::chrono::milliseconds timeout) override;
    bool timedOut() const override { return error_ == TcpSocket::Error::TimedOut; }
    bool hasPendingData() const override;
    // Sends close_notify and waits, within the time-out, for the peer's, so that nothing
    // unread is left that would turn the socket's close into a reset. False when the peer's
    // did not come.
    bool shutdown(std::chrono::milliseconds timeout);

    // The certificate chain is trusted by the system and names peerName.
    bool verified() const;
    TlsCertificate peerCertificate() const;
    bool sessionReused() const;
    // Protocol and cipher, e.g. "TLSv1.3, TLS_AES_256_GCM_SHA384".
    QString description() const;
    // Why the last operation failed, for the log.
    QString errorText() const { return errorText_; }

private:
    enum class Progress { Retry, Ended, Failed };
    Progress awaitRetry(int result, std::chrono::steady_clock::time_point deadline);
    void configurePeerName(const QString& peerName);
    bool failHandshake();

    ssl_st* ssl_ = nullptr;
    TcpSocket& socket_;
    TcpSocket::Error error_ = TcpSocket::Error::None;
    QString errorText_;
};
