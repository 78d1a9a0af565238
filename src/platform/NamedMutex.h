#pragma once

#include <QString>

#include <memory>

// A process-wide lock known by name, recursive for the thread that holds it. Besides the
// in-process lock it holds an advisory flock on "<name>.lock" in the given folder, so other
// running instances that share the work folder are serialised too; the kernel drops a flock
// when its holder dies, so a crashed instance never leaves the lock taken.
class NamedMutex {
public:
    NamedMutex(const QString& name, const QString& lockFolder);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    void lock();
    void unlock();

    QString name() const;

private:
    struct Shared;
    static std::shared_ptr<Shared> sharedFor(const QString& name, const QString& lockPath);
    std::shared_ptr<Shared> shared_;
};
