#pragma once

#include "session/SessionIdentity.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

struct LogonRecord;

// The session of every connection tab, in tab order, and the current session that requests go
// to. Written by the GUI thread and by session threads as they start and fail.
class SessionRegistry {
public:
    static constexpr int None = -1;

    // A session that is logging on: it has an entry but no tab yet.
    void add(const LogonRecord& logon, int sessionId);
    // The same for a session known only by its server text: port 21, no user.
    void add(const QString& host, int sessionId);
    // The session logged on and its tab was appended after the existing ones.
    void attachTab(int sessionId);
    void remove(int sessionId);

    int sessionAtTab(int tabIndex) const;
    int tabOfSession(int sessionId) const;
    int tabCount() const;
    // Entries of the tabs in tab order, each the host followed by the session id in decimal.
    QStringList tabEntries() const;

    struct Tab {
        int id;
        SessionIdentity identity;
    };
    // The sessions that have a tab, in tab order.
    std::vector<Tab> tabs() const;

    int current() const;
    void setCurrent(int sessionId);

private:
    struct Entry {
        QString host;
        SessionIdentity identity;
        int id;
        bool hasTab;
    };
    std::vector<Entry> tabbed() const;

    mutable std::mutex mutex_; // guards entries_ and current_
    std::vector<Entry> entries_;
    int current_ = None;
};
