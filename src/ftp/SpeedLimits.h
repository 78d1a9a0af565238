#pragma once

#include "platform/TokenBucket.h"

// The program's two speed limits, one bucket per direction, shared by all its transfers. Each
// bucket guards itself with its own lock.
struct SpeedLimits {
    TokenBucket download;
    TokenBucket upload;

    static constexpr quint64 bytesPerKilobyte = 1024;

    // Limits in kB/s; 0: none. Running transfers follow from their next slice.
    void apply(int downloadKilobytes, int uploadKilobytes)
    {
        download.setRate(static_cast<quint64>(qMax(downloadKilobytes, 0)) * bytesPerKilobyte);
        upload.setRate(static_cast<quint64>(qMax(uploadKilobytes, 0)) * bytesPerKilobyte);
    }
    TokenBucket& forDirection(bool isDownload) { return isDownload ? download : upload; }
};
