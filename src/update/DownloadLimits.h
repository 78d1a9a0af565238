#pragma once

#include <QtGlobal>

#include <chrono>

// Bounds of one HTTP download, so that neither a slow nor a hostile server can hold the update
// worker for ever or fill the disk.
struct DownloadLimits {
    qint64 maxBytes = 0;
    std::chrono::milliseconds connectTimeout{10000};
    std::chrono::milliseconds totalTimeout{60000};
    // The transfer is dropped when no byte arrives for this long (whole seconds, at least 1).
    std::chrono::seconds stallTimeout{30};
};
