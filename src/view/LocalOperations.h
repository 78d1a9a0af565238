#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Prompt;

// The local pane's commands that change files: new folder, rename, delete. Names are relative
// to the shown folder. Questions go through the prompt, failures to the log.
// Used on the GUI thread, and DeleteLocalTree also by transfer workers on theirs.
class LocalOperations {
public:
    using Log = std::function<void(const QString&)>;

    LocalOperations(Prompt& prompt, Log log);

    // Removes folder and everything in it. Symbolic links are removed as links: the tree they
    // point to is never entered. Files that are read-only are kept, as on the desktop the
    // program comes from, and logged with "删除失败3". Answers whether the folder is gone.
    static bool DeleteLocalTree(const QString& folder, const Log& log);

    void makeFolder(const QString& folder, const QString& name);
    // Renames name to newName in folder after asking before it replaces an existing file.
    // The same name again changes nothing, nor does renaming ".." or ".".
    void rename(const QString& folder, const QString& name, const QString& newName);
    // Deletes the named entries of folder after the questions of the delete command, logging
    // each result. Answers how many were deleted. "..", "." and names holding a "/" are not
    // entries of folder and are left alone.
    int deleteEntries(const QString& folder, const QStringList& names);

private:
    bool confirmReplace(const QString& name);
    bool deleteOne(const QString& path);

    Prompt& prompt_;
    Log log_;
};
