#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

// The temporary files one queue entry has written and not yet completed. Only these are ever
// continued: a ".td" file the entry did not make (the user's own "notes.td", or a file a folder
// walk fetched under that name) is never appended to, renamed or removed. Kept in the entry's
// row and stored with it, so a paused entry resumes its own part after a restart. The worker
// adds and drops paths while the monitor copies them into the row.
class PartRecord {
public:
    PartRecord() = default;
    explicit PartRecord(const QString& stored);

    // Called after each new path, on the adding thread: a part must be on record before its
    // first byte, so that it is still known as the entry's own after a crash.
    void setOnAdded(std::function<void(const PartRecord&)> onAdded);

    bool contains(const QString& path) const;
    void add(const QString& path);
    void remove(const QString& path);
    QStringList paths() const;
    // The paths as the row stores them, apart by tabs. A path that cannot be stored (a tab, CR,
    // LF or NUL in it) is left out: its part is then not continued later, and never mistaken
    // for another.
    QString stored() const;
    static QStringList storedPaths(const QString& stored);

private:
    mutable std::mutex mutex_; // guards paths_ and onAdded_
    QStringList paths_;
    std::function<void(const PartRecord&)> onAdded_;
};
