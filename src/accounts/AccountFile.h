#pragma once

#include "accounts/AccountRecord.h"

#include <QList>
#include <QString>

// "list.dat" holds the saved accounts, enciphered with the program's AES key. Each record is
// stored as "server CR port CR user CR password CR LF", texts in GBK; the file is a sequence of
// cipher units, each the encipherment of one or more records.

enum class AccountWrite {
    Written,
    Refused, // a field holds CR, LF or NUL; the file was left as it was
    Failed,  // the file could not be read or replaced; it was left as it was
};

// The work path, which ends with "/", followed by "list.dat".
QString AccountListPath(const QString& workPath);

// The records in file order, numbered from 0. A missing, unreadable or damaged file yields
// whatever whole records can be found, possibly none; trailing bytes that do not fill a whole
// 16-byte block are ignored.
QList<AccountRecord> LoadAccountList(const QString& path);

// Replaces the whole file with the given rows as one cipher unit (an empty list leaves a 0-byte
// file). The new file is complete on disk before it takes the old one's place.
AccountWrite RewriteAccountList(const QString& path, const QList<AccountRecord>& rows);

// Adds one record as a unit of its own after the existing whole blocks, creating the file if
// needed. Like a rewrite, the file is replaced only once the longer content is on disk, and a
// stray partial block at the end of a damaged file is dropped so the new unit stays readable.
AccountWrite AppendAccount(const QString& server, int port, const QString& user,
                           const QString& password, const QString& path);

// Walks the records: start with cursor 0 and call until it returns false. Each call re-reads
// the file (creating it empty when absent), fills server, port, user and password of the next
// record after the cursor and leaves the cursor on that record's closing LF.
bool NextSavedAccount(const QString& path, qsizetype& cursor, AccountRecord& record);
