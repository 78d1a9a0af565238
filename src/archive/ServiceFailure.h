#pragma once

#include <QByteArray>
#include <QString>

// Why the archive service answered "F". The service sends the reason after the "F" as
// "WHY:" code CR (a separate piece, after a short pause, so that a client reading the bare "F"
// token alone still sees it alone); the client logs it in Chinese below "false!".
enum class ServiceFailure {
    None,
    NotFound,
    NotZip,
    Unsafe,
    Clash,
    Conflict,
    NoSpace,
    Damaged,
    Io,
    Exists,
    Folders,
    Unknown,
};

namespace servicefailure {
// "WHY:" code CR, for the service to send after "F".
QByteArray trailer(ServiceFailure failure);
// The reason named by what followed the "F"; Unknown when nothing (or nothing known) did.
ServiceFailure fromTrailer(const QByteArray& bytes);
QByteArray code(ServiceFailure failure);
// The line the client logs below "false!", without its line end.
QString chineseText(ServiceFailure failure);
} // namespace servicefailure
