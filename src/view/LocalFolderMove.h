#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Prompt;

// Moves local entries into a folder beside them, as rows dropped on a folder row of the local
// list do. Questions go through the prompt. Runs on the GUI thread.
class LocalFolderMove {
public:
    using Log = std::function<void(const QString&)>;

    LocalFolderMove(Prompt& prompt, Log log);

    // Moves each named entry of folder into folder's entry targetName, when that is a folder;
    // otherwise nothing moves. An entry already there is replaced only after "已存在是否覆盖"
    // is answered with Yes; an entry that is already there itself (targetName is a link to
    // folder) stays as it is. A folder is never moved into itself or below itself: that is
    // refused with a message. targetName itself among names stays where it is. Answers how
    // many entries were moved.
    int moveInto(const QString& folder, const QStringList& names, const QString& targetName);

private:
    bool moveOne(const QString& source, const QString& destination);
    bool makeRoomFor(const QString& destination);

    Prompt& prompt_;
    Log log_;
};
