#pragma once

#include <QString>

// A folder under the system's temporary folder, removed with everything in it on destruction.
// Unlike QTemporaryDir it removes entries whose names are not valid in the locale's encoding
// (a server that stores GBK names leaves such files behind).
class TemporaryFolder {
public:
    explicit TemporaryFolder(const QString& prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    bool isValid() const { return !path_.isEmpty(); }
    QString path() const { return path_; }
    QString filePath(const QString& name) const { return path_ + u'/' + name; }

private:
    QString path_;
};
