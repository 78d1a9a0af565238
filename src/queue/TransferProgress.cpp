#include "queue/TransferProgress.h"

#include "queue/FormatDuration.h"
#include "queue/FormatSpeed.h"
#include "session/RemoteFileSystem.h"

EngineCounters EngineCounters::of(RemoteFileSystem& client)
{
    EngineCounters counters;
    counters.bytesDone = client.bytesDone();
    counters.totalBytes = client.totalBytes();
    counters.transferActive = client.transferActive() != 0;
    counters.folderTotalBytes = client.folderTotalBytes();
    counters.folderDoneBytes = client.folderDoneBytes();
    return counters;
}

void TransferProgress::restart(qint64 nowMs)
{
    startMs_ = nowMs;
    lastSampleMs_ = nowMs;
    lastDone_ = 0;
    speed_ = 0;
    highestPercentage_ = 0;
    remainingSeconds_ = 0;
}

std::optional<ProgressTexts> TransferProgress::step(const EngineCounters& counters, qint64 nowMs)
{
    const quint64 total = folder_ ? counters.folderTotalBytes : counters.totalBytes;
    if (total == 0)
        return std::nullopt;
    quint64 done = counters.bytesDone;
    if (folder_)
        done = counters.folderDoneBytes + (counters.transferActive ? counters.bytesDone : 0);
    const auto doneSigned = static_cast<qint64>(done);
    const qint64 delta = doneSigned - lastDone_;
    const qint64 elapsedSinceSample = nowMs - lastSampleMs_;
    lastSampleMs_ = nowMs;
    lastDone_ = doneSigned;

    ProgressTexts texts;
    const int shown = percentage(done, total, counters);
    if (shown <= 100)
        texts.progress = QString::number(shown) + u'%';
    if (elapsedSinceSample != 0)
        speed_ = static_cast<double>(delta) / (static_cast<double>(elapsedSinceSample) / 1000.0);
    if (speed_ != 0)
        remainingSeconds_ =
            static_cast<int>(static_cast<double>(static_cast<qint64>(total) - doneSigned) / speed_);
    texts.speed = FormatSpeed(speed_);
    texts.remaining = FormatDuration(remainingSeconds_);
    texts.elapsed = FormatDuration(static_cast<int>((nowMs - startMs_) / 1000));
    return texts;
}

int TransferProgress::percentage(quint64 done, quint64 total, const EngineCounters& counters)
{
    if (!folder_)
        return static_cast<int>(qMin<quint64>(done * 100 / total, 1000));
    const int current = counters.folderTotalBytes == counters.folderDoneBytes
                            ? 100
                            : static_cast<int>(qMin<quint64>(done * 100 / total, 1000));
    highestPercentage_ = qMax(highestPercentage_, current);
    return highestPercentage_;
}
