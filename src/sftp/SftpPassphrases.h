#pragma once

#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

// The passphrases the user typed for private keys during one session, so that the session's
// transfer connections log on with the same keys without asking again (as ssh-agent would).
// They live in memory only, for as long as the session. Thread-safe.
class SftpPassphrases {
public:
    std::optional<QString> forKey(const QString& path) const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        const auto found = known_.constFind(path);
        return found == known_.constEnd() ? std::nullopt : std::optional<QString>(*found);
    }

    void remember(const QString& path, const QString& passphrase)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        known_.insert(path, passphrase);
    }

private:
    mutable std::mutex mutex_; // guards known_
    QHash<QString, QString> known_;
};
