#pragma once

#include <QString>

// One saved account as "list.dat" holds it. The port is kept as the text that was stored, so a
// damaged or hand-edited record shows what the file really says.
struct AccountRecord {
    QString server;
    QString port;
    QString user;
    QString password;
    int number = 0; // position in the file, 0 for the first record

    // The port's leading digits as a number (after blanks and one sign), 0 without digits.
    int portNumber() const { return portFromText(port); }
    static int portFromText(const QString& text);

    // CR and LF delimit the stored fields and NUL bytes are dropped when reading, so a field
    // holding any of them cannot be stored faithfully.
    bool hasUnstorableText() const;
};
