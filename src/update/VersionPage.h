#pragma once

#include <QString>

// The update server's version page: an INI text whose section "updata" names the newest
// version ("Version"), the address of its program ("URL"), the program's Ed25519 signature in
// base64 ("Signature") and, optionally, its SHA-256 in hex ("SHA256").
struct VersionPage {
    static constexpr double OwnVersion = 1.0;

    QString version;
    QString url;
    QString sha256;
    QString signature;

    static VersionPage read(const QString& filePath);

    // The version is a plain version number ("1.01", "2.0.3"), short enough to show, and so
    // safe to put into a question to the user.
    bool hasVersionNumber() const;
    // The version's leading number is greater than OwnVersion ("1.01" is, "1.0", "abc" and an
    // empty text are not).
    bool isNewer() const;
    static double leadingNumber(const QString& text);
};
