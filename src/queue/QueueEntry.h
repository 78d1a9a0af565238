#pragma once

#include <QString>
#include <QStringView>

// The values one queue row is built from, or read back into from "WFL.dat". It lives only for
// one add; the row in the queue is the lasting copy. Texts are kept whole: QString has no fixed
// buffer to overrun, so a long path stays intact instead of being cut at some byte count.
struct QueueEntry {
    QString source; // download: remote "/" path; upload: local path
    QString target; // download: local path; upload: remote path
    QString address;
    QString size;
    QString progress;
    QString action;
    QString started;
    QString finished;
    QString speed;
    QString elapsed;
    QString remaining;
    QString state;
    int folder = 0; // 1 for a whole folder, 0 for a single file
    // The temporary files this entry made and has not completed (PartRecord's stored text).
    QString parts;
};

namespace QueueAction {
inline constexpr QStringView Download = u"Down";
inline constexpr QStringView Upload = u"UP";
inline constexpr QStringView DownloadAndOpen = u"Downop";
} // namespace QueueAction

// The state column's texts; the queue compares them as exact strings.
namespace QueueState {
inline constexpr QStringView Waiting = u"等待中";
inline constexpr QStringView Preparing = u"准备中";
inline constexpr QStringView Downloading = u"下载中";
inline constexpr QStringView Uploading = u"上传中";
inline constexpr QStringView Paused = u"暂停";
inline constexpr QStringView Skipped = u"跳过";
inline constexpr QStringView Downloaded = u"下载完成";
inline constexpr QStringView Uploaded = u"上传完成";
inline constexpr QStringView Failed = u"err";
} // namespace QueueState

// "Down" and "Downop" both fetch a file: only the first four characters decide.
inline bool isDownloadAction(QStringView action)
{
    return action.startsWith(QueueAction::Download);
}
