#include "platform/ByteStream.h"

bool ByteStream::sendAll(const char* data, qint64 size, std::chrono::milliseconds timeout)
{
    qint64 sent = 0;
    while (sent < size) {
        const qint64 count = sendSome(data + sent, size - sent, timeout);
        if (count <= 0)
            return false;
        sent += count;
    }
    return true;
}
