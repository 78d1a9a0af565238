#pragma once

#include <QStringView>

class CListItem;

// One line of a machine listing (MLSD): facts, a blank, the name ("type=file;size=4096;
// modify=20240305142200; notes.txt"). The size is exact and the time is UTC; the date column
// shows it in local time as "2024-03-05 14:22", which sorts like the time itself. The folder
// itself (type=cdir) and its parent (type=pdir) read as "." and "..", which every walk and pane
// leaves out. A link to elsewhere (type=OS.unix=slink) is a link.
class MlsdFacts {
public:
    // A facts line begins with "fact=value;" before its first blank, which no LIST line does.
    static bool LooksLikeFacts(QStringView line);
    static bool Read(QStringView line, CListItem& item);
};
