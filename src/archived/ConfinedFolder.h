#pragma once

#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QList>

#include <sys/stat.h>

// An open folder, and every step from it taken by descriptor without following a symbolic
// link: a name is one path component, opened with O_NOFOLLOW relative to this folder at the
// moment of use, so that a link swapped in at any time is refused rather than followed and
// nothing is reached outside the folder the walk started from. Failures leave errno set.
class ConfinedFolder {
public:
    enum class Kind { None, File, Folder, Other };

    ConfinedFolder() = default;
    explicit ConfinedFolder(FileDescriptor descriptor) : descriptor_(std::move(descriptor)) {}

    // The administrator's folder itself may be reached through links.
    static ConfinedFolder open(const QByteArray& path);

    bool isOpen() const { return descriptor_.isOpen(); }
    int descriptor() const { return descriptor_.get(); }
    bool status(struct stat& out) const;

    // A sub-folder one step down; closed when name is a link, a file or missing.
    ConfinedFolder folder(const QByteArray& name) const;
    // A sub-folder several steps down, each step as folder().
    ConfinedFolder walk(const QList<QByteArray>& names) const;
    // Opens the sub-folder, creating it first when missing.
    ConfinedFolder makeFolder(const QByteArray& name) const;
    // A regular file for reading; closed for links, devices and pipes.
    FileDescriptor openFile(const QByteArray& name) const;
    // A new file for reading and writing; fails when anything of that name exists.
    FileDescriptor createFile(const QByteArray& name) const;

    Kind kindOf(const QByteArray& name) const;
    QList<QByteArray> entries() const;
    // Removes a file, link or whole tree without following links inside it.
    bool remove(const QByteArray& name) const;
    // Moves an entry of this folder into another one (or renames it, target being this one);
    // replace allows an existing entry of that name to be replaced (rename semantics: a link
    // there is replaced, never followed).
    bool moveTo(const QByteArray& name, const ConfinedFolder& target, const QByteArray& newName,
                bool replace) const;

    // Whether a name is one plain component: not empty, ".", ".." and without "/" or NUL.
    static bool isPlainName(const QByteArray& name);

private:
    FileDescriptor descriptor_;
};
