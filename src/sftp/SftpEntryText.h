#pragma once

#include "sftp/SftpEntry.h"

struct sftp_attributes_struct;

// Turns libssh's attributes of a listed or queried entry into an SftpEntry.
namespace sftpentrytext {

SftpEntry fromAttributes(const sftp_attributes_struct* attributes);
// "rwxr-xr-x" from a mode, with s/S and t/T for the set-id and sticky bits as ls prints them.
QString permissionsText(quint32 mode);

} // namespace sftpentrytext
