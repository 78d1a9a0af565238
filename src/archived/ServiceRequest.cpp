#include "archived/ServiceRequest.h"

#include "platform/TextCodec.h"

#include <QList>

namespace {
constexpr char cr = '\r';
const QByteArray uidKey = QByteArrayLiteral("UID:");
const QByteArray passKey = QByteArrayLiteral("PASS:");
} // namespace

bool ServiceRequest::mayBeIncomplete(const QByteArray& bytes)
{
    return bytes.count(cr) < 4 || !bytes.endsWith(cr);
}

std::optional<ServiceRequest> ServiceRequest::parse(const QByteArray& bytes)
{
    if (mayBeIncomplete(bytes))
        return std::nullopt;
    QList<QByteArray> lines = bytes.split(cr);
    lines.removeLast(); // after the closing CR
    if (lines.size() < 4 || !lines[0].startsWith(uidKey) || !lines[1].startsWith(passKey))
        return std::nullopt;
    ServiceRequest request;
    request.user = TextCodec::fromGbk(lines[0].mid(uidKey.size()));
    request.password = TextCodec::fromGbk(lines[1].mid(passKey.size()));
    if (lines[2] == "A")
        request.mode = Mode::Compress;
    else if (lines[2] == "X")
        request.mode = Mode::Extract;
    else
        return std::nullopt;
    for (int i = 3; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            return std::nullopt;
        request.paths.append(TextCodec::fromGbk(lines[i]));
    }
    if (request.mode == Mode::Extract && request.paths.size() != 1)
        return std::nullopt;
    return request;
}
