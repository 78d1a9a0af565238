#pragma once

#include "platform/Mailbox.h"
#include "view/LogonRecord.h"

#include <QString>

#include <memory>

// Requests a session thread takes from its mailbox.
enum SessionMessage : int {
    QM_RENAME = 0x46C,
    QM_REFRESH = 0x46E,
    QM_MAKE_FOLDER = 0x470,
    QM_DELETE_FILE = 0x471,
    QM_DELETE_TREE = 0x472,
    QM_ACTIVATE = 0x473,
    QM_QUIT = 0x474,
    QM_SEARCH = 0x475,
    QM_NAVIGATE = 0x476,
    QM_LOGON_REQUEST = 0x477,
    QM_LOGON = 0x47D,
};

// The three texts carried with a request: an entry name or source path, a target path, spare.
struct ActionRecord : MailPayload {
    ActionRecord(QString first = {}, QString second = {}) : a(std::move(first)), b(std::move(second)) {}
    QString a;
    QString b;
    QString c;
};

// Asks a session for its logon parameters; the answer goes to replyTo as QM_LOGON, unless the
// asking worker has gone meanwhile.
struct LogonRequest : MailPayload {
    explicit LogonRequest(std::weak_ptr<Mailbox> mailbox) : replyTo(std::move(mailbox)) {}
    std::weak_ptr<Mailbox> replyTo;
};

struct LogonPayload : MailPayload {
    explicit LogonPayload(LogonRecord logon) : record(std::move(logon)) {}
    LogonRecord record;
};
