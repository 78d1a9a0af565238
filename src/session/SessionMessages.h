#pragma once

#include "platform/Mailbox.h"
#include "session/LogonRecord.h"
#include "session/RemoteNameEncodings.h"

#include <QString>

#include <memory>

class CertificateJudge;
class SftpHostKeys;
class SftpPassphrases;

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

// The three texts carried with a request: an entry name or source path, a target path, and a
// flag.
struct ActionRecord : MailPayload {
    // The flag of a rename from the dialog: the session probes the target and asks
    // "文件" + target + "已存在是否覆盖" before the rename's own question, so that the probe
    // runs in turn with the session's other work on its connection.
    static constexpr QLatin1String askBeforeRename{"ask"};

    ActionRecord(QString first = {}, QString second = {})
        : a(std::move(first)), b(std::move(second))
    {
    }
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

// The answer to a LogonRequest. The encodings are the session's own, shared: a worker sends
// every remote path through encodings->onWire, so names go back as the bytes the session
// listed them with, even after the session ended; a folder walk notes the names it reads.
// The judge is the session's too, so a certificate the user trusted for the session is not
// asked about again for the worker's connection.
struct LogonPayload : MailPayload {
    explicit LogonPayload(LogonRecord logon,
                          std::shared_ptr<RemoteNameEncodings> nameEncodings = {},
                          std::shared_ptr<CertificateJudge> certificateJudge = {},
                          std::shared_ptr<SftpHostKeys> sessionHostKeys = {},
                          std::shared_ptr<SftpPassphrases> keyPassphrases = {})
        : record(std::move(logon)), encodings(std::move(nameEncodings)),
          judge(std::move(certificateJudge)), hostKeys(std::move(sessionHostKeys)),
          passphrases(std::move(keyPassphrases))
    {
    }
    LogonRecord record;
    std::shared_ptr<RemoteNameEncodings> encodings;
    std::shared_ptr<CertificateJudge> judge;
    // The session's decisions about an SSH server's host key, shared with its workers.
    std::shared_ptr<SftpHostKeys> hostKeys;
    std::shared_ptr<SftpPassphrases> passphrases;
};
