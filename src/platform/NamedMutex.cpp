#include "platform/NamedMutex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

// One Shared per (name, folder) in this process, so every NamedMutex of the same name locks
// the same recursive mutex and the same lock file descriptor.
struct NamedMutex::Shared {
    QString name;
    QString lockPath;
    std::recursive_mutex inProcess; // the lock itself; depth and fd are only touched under it
    int depth = 0;
    int fd = -1;

    ~Shared()
    {
        if (fd >= 0)
            ::close(fd);
    }

    void acquireFileLock()
    {
        if (fd < 0) {
            QDir().mkpath(QFileInfo(lockPath).absolutePath());
            fd =
                ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        }
        if (fd < 0)
            return; // no usable work folder: the in-process lock still serialises this instance
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }

    void releaseFileLock()
    {
        if (fd >= 0)
            ::flock(fd, LOCK_UN);
    }
};

std::shared_ptr<NamedMutex::Shared> NamedMutex::sharedFor(const QString& name,
                                                          const QString& lockPath)
{
    static std::mutex registryMutex; // guards registry
    static std::map<QString, std::weak_ptr<Shared>> registry;
    std::lock_guard<std::mutex> hold(registryMutex);
    auto& slot = registry[lockPath];
    auto shared = slot.lock();
    if (!shared) {
        shared = std::make_shared<Shared>();
        shared->name = name;
        shared->lockPath = lockPath;
        slot = shared;
    }
    return shared;
}

NamedMutex::NamedMutex(const QString& name, const QString& lockFolder)
    : shared_(sharedFor(name, QDir(lockFolder).filePath(name + QStringLiteral(".lock"))))
{
}

NamedMutex::~NamedMutex() = default;

void NamedMutex::lock()
{
    shared_->inProcess.lock();
    if (shared_->depth++ == 0)
        shared_->acquireFileLock();
}

void NamedMutex::unlock()
{
    if (--shared_->depth == 0)
        shared_->releaseFileLock();
    shared_->inProcess.unlock();
}

QString NamedMutex::name() const
{
    return shared_->name;
}
