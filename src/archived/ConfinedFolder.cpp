#include "archived/ConfinedFolder.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
} // namespace

ConfinedFolder ConfinedFolder::open(const QByteArray& path)
{
    return ConfinedFolder(
        FileDescriptor(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
}

bool ConfinedFolder::isPlainName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

bool ConfinedFolder::status(struct stat& out) const
{
    return ::fstat(descriptor(), &out) == 0;
}

ConfinedFolder ConfinedFolder::folder(const QByteArray& name) const
{
    if (!isOpen() || !isPlainName(name)) {
        errno = EINVAL;
        return ConfinedFolder();
    }
    return ConfinedFolder(FileDescriptor(::openat(descriptor(), name.constData(), folderFlags)));
}

ConfinedFolder ConfinedFolder::walk(const QList<QByteArray>& names) const
{
    ConfinedFolder current(FileDescriptor(::fcntl(descriptor(), F_DUPFD_CLOEXEC, 0)));
    for (const QByteArray& name : names) {
        if (!current.isOpen())
            break;
        current = current.folder(name);
    }
    return current;
}

ConfinedFolder ConfinedFolder::makeFolder(const QByteArray& name) const
{
    if (isPlainName(name) && ::mkdirat(descriptor(), name.constData(), 0755) != 0 &&
        errno != EEXIST)
        return ConfinedFolder();
    return folder(name);
}

FileDescriptor ConfinedFolder::openFile(const QByteArray& name) const
{
    if (!isPlainName(name)) {
        errno = EINVAL;
        return FileDescriptor();
    }
    // Non-blocking, so that a pipe put in a file's place cannot hold the open.
    FileDescriptor file(
        ::openat(descriptor(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.isOpen() && (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))) {
        errno = EINVAL;
        file.reset();
    }
    return file;
}

FileDescriptor ConfinedFolder::createFile(const QByteArray& name) const
{
    if (!isPlainName(name)) {
        errno = EINVAL;
        return FileDescriptor();
    }
    return FileDescriptor(::openat(descriptor(), name.constData(),
                                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
}

ConfinedFolder::Kind ConfinedFolder::kindOf(const QByteArray& name) const
{
    struct stat info {};
    if (!isPlainName(name) ||
        ::fstatat(descriptor(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::None;
    if (S_ISREG(info.st_mode))
        return Kind::File;
    return S_ISDIR(info.st_mode) ? Kind::Folder : Kind::Other;
}

QList<QByteArray> ConfinedFolder::entries() const
{
    QList<QByteArray> names;
    const int copy = ::openat(descriptor(), ".", folderFlags);
    DIR* listing = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!listing) {
        if (copy >= 0)
            ::close(copy);
        return names;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(listing);
    return names;
}

bool ConfinedFolder::remove(const QByteArray& name) const
{
    if (!isPlainName(name))
        return false;
    if (kindOf(name) == Kind::Folder) {
        const ConfinedFolder inner = folder(name);
        for (const QByteArray& child : inner.entries())
            inner.remove(child);
        return ::unlinkat(descriptor(), name.constData(), AT_REMOVEDIR) == 0;
    }
    return ::unlinkat(descriptor(), name.constData(), 0) == 0;
}

bool ConfinedFolder::moveTo(const QByteArray& name, const ConfinedFolder& target,
                            const QByteArray& newName, bool replace) const
{
    if (!isPlainName(name) || !isPlainName(newName))
        return false;
    return ::renameat2(descriptor(), name.constData(), target.descriptor(), newName.constData(),
                       replace ? 0 : RENAME_NOREPLACE) == 0;
}
