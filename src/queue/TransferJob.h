#pragma once

#include <QString>

#include <memory>

class PartRecord;

// One queue row's transfer as the monitor hands it to the worker.
struct TransferJob {
    QString remotePath; // download: the row's source; upload: its target
    QString localPath;  // download: the row's target; upload: its source
    int passive = 0;    // transfers use active data connections
    int download = 0;
    int folder = 0;
    // The row had been started before: a folder is then resumed without the overwrite question.
    int noPrompt = 0;
    // The user agreed to replace what is at the target: each file takes the place of the old
    // one once it is complete; nothing is removed before.
    int replace = 0;
    // The temporary files this entry made, read from its row; the only ones continued.
    std::shared_ptr<PartRecord> parts;
};
