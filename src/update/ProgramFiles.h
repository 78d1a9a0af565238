#pragma once

#include <QFileInfo>
#include <QString>

// The files of an update beside the running program. The new program always goes to the
// folder's "kevra"; the running file is kept as its own name followed by ".bak".
struct ProgramFiles {
    QString runningFile; // empty when the system could not say where the program runs from

    QString folder() const { return QFileInfo(runningFile).absolutePath(); }
    QString executable() const { return folder() + QStringLiteral("/kevra"); }
    QString backup() const { return runningFile + QStringLiteral(".bak"); }
    // Where the version page is saved while it is read.
    QString versionPage() const { return folder() + QStringLiteral("/updata.html"); }
    // Where the new program is written before it is checked and moved into place.
    QString download() const { return executable() + QStringLiteral(".download"); }
};
