#pragma once

#include <QString>

struct QueueEntry;

// The progress text a stored entry comes back with. An unfinished file download whose part is
// on the disk shows how much of the file the part holds, since the progress stored with the row
// may be older than the part (the queue file is not written while a file arrives). Every other
// entry keeps its stored text.
QString RestoredProgress(const QueueEntry& entry);

// The byte count of a size text as the panes show it: "1234", "12.50KB", "57.00MB", "1.20GB";
// 0 when the text is not one.
quint64 BytesOfSizeText(const QString& text);
