#pragma once

#include "sftp/SftpEntry.h"

struct sftp_attributes_struct;

// Turns libssh's attributes of a listed or queried entry into an SftpEntry.
namespace sftpentrytext {

SftpEntry fromAttributes(const sftp_attributes_struct* attributes);
// "rwxr-xr-x" from a mode, with s/S and t/T for the set-id and sticky bits as ls prints them.
QString permissionsText(quint32 mode);
// The entry as "ls -l" prints it, "drwxr-xr-x 1 owner group 4096 Mar 05 14:22 name": the date
// with the time within half a year of now, else with the year; a link with type 'l'.
QByteArray listingLine(const SftpEntry& entry, const QDateTime& now);

} // namespace sftpentrytext
