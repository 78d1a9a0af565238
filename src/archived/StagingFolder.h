#pragma once

#include "archive/ServiceFailure.h"
#include "archived/ConfinedFolder.h"

#include <QByteArray>

// A fresh folder of its own inside a target folder, where an archive is unpacked before its
// entries are moved into place. Whatever is still in it when it ends is removed, so a failed
// or refused extraction leaves nothing behind.
class StagingFolder {
public:
    explicit StagingFolder(const ConfinedFolder& target);
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    bool isOpen() const { return folder_.isOpen(); }
    const ConfinedFolder& folder() const { return folder_; }

    // Moves everything staged into the target: a file replaces a file of its name, a folder is
    // merged into a folder of its name, and anything else in the way (a symbolic link, a file
    // where a folder goes or the reverse) fails the whole move before any entry is moved.
    ServiceFailure moveIntoPlace();

private:
    // With dryRun, only checks that every entry can be moved.
    static ServiceFailure merge(const ConfinedFolder& from, const ConfinedFolder& to, bool dryRun);
    static ServiceFailure mergeEntry(const ConfinedFolder& from, const ConfinedFolder& to,
                                     const QByteArray& name, bool dryRun);

    const ConfinedFolder& target_;
    QByteArray name_;
    ConfinedFolder folder_;
};
