#pragma once

struct ssl_ctx_st;

// The settings every TLS client stream of one FTP connection shares: TLS 1.2 or newer, the
// system's trust store, writes that may end part-way (a send waits in bounded slices).
// Not copyable; lives as long as the streams made from it.
class TlsContext {
public:
    TlsContext();
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // False when OpenSSL could not set up a context at all.
    bool isValid() const { return context_ != nullptr; }
    ssl_ctx_st* handle() const { return context_; }

private:
    ssl_ctx_st* context_ = nullptr;
};
