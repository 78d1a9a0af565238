#include "platform/TlsSocketBio.h"

#include <openssl/bio.h>

#include <cerrno>
#include <cstdint>
#include <sys/socket.h>

namespace tlssocketbio {

namespace {

int descriptorOf(BIO* bio)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool mustRetry(ssize_t count)
{
    return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

int writeBytes(BIO* bio, const char* data, int size)
{
    BIO_clear_retry_flags(bio);
    const ssize_t count = ::send(descriptorOf(bio), data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (mustRetry(count))
        BIO_set_retry_write(bio);
    return static_cast<int>(count);
}

int readBytes(BIO* bio, char* data, int size)
{
    BIO_clear_retry_flags(bio);
    const ssize_t count = ::recv(descriptorOf(bio), data, static_cast<size_t>(size), 0);
    if (mustRetry(count))
        BIO_set_retry_read(bio);
    return static_cast<int>(count);
}

// Writes go straight to the socket, so there is never anything to flush.
long control(BIO*, int command, long, void*)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* makeMethod()
{
    BIO_METHOD* method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kevra socket");
    if (method != nullptr) {
        BIO_meth_set_write(method, writeBytes);
        BIO_meth_set_read(method, readBytes);
        BIO_meth_set_ctrl(method, control);
    }
    return method;
}

} // namespace

bio_st* create(int descriptor)
{
    // Made once for the whole program and never released, as OpenSSL's own methods are.
    static BIO_METHOD* const method = makeMethod();
    BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
    if (bio == nullptr)
        return nullptr;
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor)));
    BIO_set_init(bio, 1);
    return bio;
}

} // namespace tlssocketbio
