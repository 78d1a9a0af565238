#include "session/SessionRegistry.h"

#include "session/LogonRecord.h"

#include <algorithm>

void SessionRegistry::add(const LogonRecord& logon, int sessionId)
{
    std::lock_guard<std::mutex> hold(mutex_);
    entries_.push_back(Entry{logon.host, SessionIdentity::of(logon), sessionId, false});
}

void SessionRegistry::add(const QString& host, int sessionId)
{
    LogonRecord logon;
    logon.host = host;
    add(logon, sessionId);
}

void SessionRegistry::attachTab(int sessionId)
{
    std::lock_guard<std::mutex> hold(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [sessionId](const Entry& e) { return e.id == sessionId; });
    if (it == entries_.end())
        return;
    Entry entry = *it;
    entry.hasTab = true;
    entries_.erase(it);
    // Tabs are appended, so the new tab's entry goes after the last entry that has a tab.
    auto lastTabbed =
        std::find_if(entries_.rbegin(), entries_.rend(), [](const Entry& e) { return e.hasTab; });
    entries_.insert(lastTabbed.base(), entry);
}

void SessionRegistry::remove(int sessionId)
{
    std::lock_guard<std::mutex> hold(mutex_);
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [sessionId](const Entry& e) { return e.id == sessionId; }),
                   entries_.end());
}

std::vector<SessionRegistry::Entry> SessionRegistry::tabbed() const
{
    std::vector<Entry> result;
    std::copy_if(entries_.begin(), entries_.end(), std::back_inserter(result),
                 [](const Entry& e) { return e.hasTab; });
    return result;
}

int SessionRegistry::sessionAtTab(int tabIndex) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    const auto tabs = tabbed();
    if (tabIndex < 0 || tabIndex >= static_cast<int>(tabs.size()))
        return None;
    return tabs[static_cast<std::size_t>(tabIndex)].id;
}

int SessionRegistry::tabOfSession(int sessionId) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    const auto tabs = tabbed();
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        if (tabs[i].id == sessionId)
            return static_cast<int>(i);
    }
    return None;
}

int SessionRegistry::tabCount() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return static_cast<int>(tabbed().size());
}

QStringList SessionRegistry::tabEntries() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    QStringList result;
    for (const Entry& e : tabbed())
        result << e.host + QString::number(e.id);
    return result;
}

std::vector<SessionRegistry::Tab> SessionRegistry::tabs() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<Tab> result;
    for (const Entry& e : tabbed())
        result.push_back(Tab{e.id, e.identity});
    return result;
}

int SessionRegistry::current() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return current_;
}

void SessionRegistry::setCurrent(int sessionId)
{
    std::lock_guard<std::mutex> hold(mutex_);
    current_ = sessionId;
}
