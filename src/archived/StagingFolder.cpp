#include "archived/StagingFolder.h"

#include <QRandomGenerator>

#include <cerrno>
#include <sys/stat.h>

namespace {
constexpr int attempts = 8;
} // namespace

StagingFolder::StagingFolder(const ConfinedFolder& target) : target_(target)
{
    // A name taken already (even one planted by someone guessing) is never used: mkdirat fails.
    for (int attempt = 0; attempt < attempts && !folder_.isOpen(); ++attempt) {
        name_ =
            ".kevra-extract-" + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        if (::mkdirat(target_.descriptor(), name_.constData(), 0700) == 0)
            folder_ = target_.folder(name_);
        else if (errno != EEXIST)
            break;
    }
    if (!folder_.isOpen())
        name_.clear();
}

StagingFolder::~StagingFolder()
{
    if (!name_.isEmpty())
        target_.remove(name_);
}

ServiceFailure StagingFolder::moveIntoPlace()
{
    const ServiceFailure checked = merge(folder_, target_, true);
    return checked != ServiceFailure::None ? checked : merge(folder_, target_, false);
}

ServiceFailure StagingFolder::merge(const ConfinedFolder& from, const ConfinedFolder& to,
                                    bool dryRun)
{
    for (const QByteArray& name : from.entries()) {
        const ServiceFailure failure = mergeEntry(from, to, name, dryRun);
        if (failure != ServiceFailure::None)
            return failure;
    }
    return ServiceFailure::None;
}

ServiceFailure StagingFolder::mergeEntry(const ConfinedFolder& from, const ConfinedFolder& to,
                                         const QByteArray& name, bool dryRun)
{
    const ConfinedFolder::Kind staged = from.kindOf(name);
    const ConfinedFolder::Kind present = to.kindOf(name);
    if (present == ConfinedFolder::Kind::None) {
        if (dryRun || from.moveTo(name, to, name, false))
            return ServiceFailure::None;
        if (errno != EEXIST)
            return ServiceFailure::Io;
    }
    if (staged == ConfinedFolder::Kind::File && present == ConfinedFolder::Kind::File)
        return dryRun || from.moveTo(name, to, name, true) ? ServiceFailure::None
                                                           : ServiceFailure::Io;
    if (staged != ConfinedFolder::Kind::Folder)
        return ServiceFailure::Conflict;
    // Opened without following links: a link swapped in for the folder is refused here.
    const ConfinedFolder inside = to.folder(name);
    if (!inside.isOpen())
        return ServiceFailure::Conflict;
    return merge(from.folder(name), inside, dryRun);
}
