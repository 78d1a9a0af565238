#include "platform/TlsContext.h"

#include <openssl/ssl.h>

TlsContext::TlsContext()
{
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr)
        return;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Verification runs during the handshake but never ends it: the caller reads the result
    // and may still let the user accept the certificate.
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    if (SSL_CTX_set_default_verify_paths(context) != 1) {
        SSL_CTX_free(context);
        return;
    }
    context_ = context;
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(context_);
}
