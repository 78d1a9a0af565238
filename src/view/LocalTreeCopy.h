#pragma once

#include <QString>

#include <functional>

// Copies folders dropped from the file manager into the local pane. Runs on the GUI thread.
class LocalTreeCopy {
public:
    using Log = std::function<void(const QString&)>;

    // Creates target and copies everything in source into it, sub-folders after the files.
    // A file whose copy already exists is left as it is; each file not copied is logged with
    // its name and "复制失败". Symbolic links are copied as links and never entered, so a
    // link loop cannot make the copy endless, and a target inside source (which would copy
    // the copy again and again) is refused. Answers whether everything was copied.
    static bool CopyLocalTree(const QString& source, const QString& target, const Log& log);

    // The length of all files in folder and its sub-folders; links are not followed.
    static qint64 totalFileSize(const QString& folder);

    // Whether path is folder or lies inside it once links are resolved; path need not exist.
    static bool isWithin(const QString& path, const QString& folder);

private:
    static bool copyEntries(const QString& source, const QString& target, const Log& log);
};
