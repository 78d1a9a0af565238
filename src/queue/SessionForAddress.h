#pragma once

#include <QString>

class SessionRegistry;

// The session a queue entry's address names; -1 when no tab holds one. An address of the form
// SessionIdentity::text() finds a session of exactly that server and account. An older entry's
// bare server text finds the one session on that server; where tabs with different ports or
// accounts share it, guessing could send the files to the wrong account, so it finds none.
int SessionForAddress(const SessionRegistry& registry, const QString& address);
