#pragma once

#include <QString>

#include <functional>
#include <vector>

class NamedMutex;
class Prompt;
struct Configuration;

// Moves the program's local work path to another folder. The folder must take new files, and
// the files kept in the work path (the saved accounts, the queue) are copied into it before the
// program switches over, so nothing saved is lost. The old folder keeps its copies: another
// running instance may still work there, and going back to it finds everything as it was.
class WorkPathChange {
public:
    // Gives the path of one stored file inside a work path that ends with "/".
    using StoredFile = std::function<QString(const QString& workPath)>;

    // engineLock is "mutex1", which every writer of the queue file holds; the copy and the
    // switch happen under it, so no save can land in the old folder after its copy was taken.
    WorkPathChange(Configuration& config, NamedMutex& engineLock, Prompt& prompt,
                   std::vector<StoredFile> storedFiles);

    // True when the work path is now the folder; otherwise the user has been told why not, or
    // has declined to replace the files the folder already holds.
    bool apply(const QString& folder);

private:
    struct Carried {
        QString from;
        QString to;
    };

    bool isUsable(const QString& workPath);
    std::vector<Carried> filesToCarry(const QString& workPath) const;
    bool mayReplace(const std::vector<Carried>& files);
    bool carryAndSwitch(const std::vector<Carried>& files, const QString& workPath);
    void refuse(const QString& message);

    Configuration& config_;
    NamedMutex& engineLock_;
    Prompt& prompt_;
    const std::vector<StoredFile> storedFiles_;
};
