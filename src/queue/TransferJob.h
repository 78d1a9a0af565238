#pragma once

#include <QString>

// One queue row's transfer as the monitor hands it to the worker.
struct TransferJob {
    QString remotePath; // download: the row's source; upload: its target
    QString localPath;  // download: the row's target; upload: its source
    int passive = 0;    // transfers use active data connections
    int download = 0;
    int folder = 0;
    // The row had been started before: a folder is then resumed without the overwrite question.
    int noPrompt = 0;
};
