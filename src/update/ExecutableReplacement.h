#pragma once

#include "update/ProgramFiles.h"

// Puts a downloaded program in place of the folder's "kevra" so that the folder always holds a
// runnable program: the new file gets the run bit, the running file is kept as the backup
// (replacing an older one), and the new file takes the program's name in one rename. When any
// step fails the old program stays where it was and the download is removed.
class ExecutableReplacement {
public:
    static bool install(const QString& downloadedFile, const ProgramFiles& files);
    // Gives the file the run bit for everyone, write for its owner only.
    static bool makeRunnable(const QString& file);

private:
    static bool keepBackup(const ProgramFiles& files);
};
