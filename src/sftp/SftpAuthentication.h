#pragma once

#include <QString>

struct ssh_session_struct;
class Prompt;
class SftpPassphrases;

// Logs a user on to a connected SSH session: keys from ssh-agent first, then the password (as
// "password" or answering "keyboard-interactive"), then the private keys id_ed25519, id_ecdsa
// and id_rsa of the key folder, asking for a passphrase through the prompt when a key that the
// server accepts is protected by one (unless the session already knows it).
class SftpAuthentication {
public:
    SftpAuthentication(ssh_session_struct* session, Prompt* prompt, QString keyFolder,
                       SftpPassphrases& passphrases);

    // False with the reason in error.
    bool logOn(const QString& password, QString& error);

private:
    bool byAgent();
    bool byPassword(const QString& password);
    bool byKeyboard(const QString& password);
    bool byKeyFiles();
    bool byKeyFile(const QString& path);
    bool accepted(int result);

    ssh_session_struct* session_;
    Prompt* prompt_;
    QString keyFolder_;
    SftpPassphrases& passphrases_;
    int methods_ = 0;
    bool broken_ = false; // the connection failed during an attempt
};
