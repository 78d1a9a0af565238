#include "queue/TransferQueue.h"

#include "queue/QueueFile.h"

#include <QMutexLocker>

#include <algorithm>

namespace {

QueueEntry transferEntry(const QString& source, const QString& target, int folder,
                         const QString& size, QStringView action)
{
    QueueEntry entry;
    entry.source = source;
    entry.target = target;
    entry.size = size;
    entry.action = action.toString();
    entry.folder = folder != 0 ? 1 : 0;
    return entry;
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

} // namespace

TransferQueue::TransferQueue(QObject* parent) : QObject(parent) {}

int TransferQueue::AddQueueRow(const QueueEntry& entry, const QString& serverBoxText)
{
    Row added;
    added.columns = {
        entry.source,    entry.address.isEmpty() ? serverBoxText : entry.address,
        entry.size,      entry.progress.isEmpty() ? QStringLiteral("0%") : entry.progress,
        entry.target,    entry.action,
        entry.started,   entry.finished,
        entry.speed,     entry.elapsed,
        entry.remaining, entry.state.isEmpty() ? QueueState::Waiting.toString() : entry.state};
    added.folder = entry.folder;
    int index = 0;
    {
        QMutexLocker locker(&lock_);
        index = static_cast<int>(rows_.size());
        rows_.append(added);
    }
    Q_EMIT rowsChanged();
    return index;
}

bool TransferQueue::AddDownload(const QString& remoteSource, const QString& localTarget, int folder,
                                const QString& size, const QString& serverBoxText, QueueFile& file)
{
    AddQueueRow(transferEntry(remoteSource, localTarget, folder, size, QueueAction::Download),
                serverBoxText);
    return file.SaveQueue(*this);
}

bool TransferQueue::AddUpload(const QString& localSource, const QString& remoteTarget, int folder,
                              const QString& size, const QString& serverBoxText, QueueFile& file)
{
    AddQueueRow(transferEntry(localSource, remoteTarget, folder, size, QueueAction::Upload),
                serverBoxText);
    return file.SaveQueue(*this);
}

int TransferQueue::rowCount() const
{
    QMutexLocker locker(&lock_);
    return static_cast<int>(rows_.size());
}

std::optional<TransferQueue::Row> TransferQueue::row(int index) const
{
    QMutexLocker locker(&lock_);
    if (!validIndex(index))
        return std::nullopt;
    return rows_.at(index);
}

QString TransferQueue::text(int index, Column column) const
{
    QMutexLocker locker(&lock_);
    if (!validIndex(index) || column < 0 || column >= ColumnCount)
        return {};
    return rows_.at(index).columns[column];
}

bool TransferQueue::setText(int index, Column column, const QString& text)
{
    {
        QMutexLocker locker(&lock_);
        if (!validIndex(index) || column < 0 || column >= ColumnCount)
            return false;
        rows_[index].columns[column] = text;
    }
    Q_EMIT rowsChanged();
    return true;
}

void TransferQueue::removeRows(QList<int> indices)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    {
        QMutexLocker locker(&lock_);
        // From the highest index down, so earlier removals do not shift later ones.
        for (auto it = indices.crbegin(); it != indices.crend(); ++it) {
            if (validIndex(*it))
                rows_.removeAt(*it);
        }
    }
    Q_EMIT rowsChanged();
}

void TransferQueue::clear()
{
    {
        QMutexLocker locker(&lock_);
        rows_.clear();
    }
    Q_EMIT rowsChanged();
}

QList<TransferQueue::Row> TransferQueue::snapshot() const
{
    QMutexLocker locker(&lock_);
    return rows_;
}

int TransferQueue::findActiveRow(const QString& source, const QString& target) const
{
    QMutexLocker locker(&lock_);
    for (int i = 0; i < rows_.size(); ++i) {
        const Row& candidate = rows_.at(i);
        if (candidate.text(SourceColumn) == source && candidate.text(TargetColumn) == target &&
            isActiveState(candidate.text(StateColumn)))
            return i;
    }
    return -1;
}

QString TransferQueue::remotePath(const QString& folder, const QString& name)
{
    return joined(folder, name);
}

QString TransferQueue::localPath(const QString& folder, const QString& name)
{
    return joined(folder, name);
}

bool TransferQueue::setTextsIfRowIs(int index, const QString& source, const QString& target,
                                    const QList<QStringView>& states,
                                    const QList<QPair<Column, QString>>& texts)
{
    {
        QMutexLocker locker(&lock_);
        if (!validIndex(index))
            return false;
        Row& candidate = rows_[index];
        if (candidate.text(SourceColumn) != source || candidate.text(TargetColumn) != target ||
            !states.contains(QStringView(candidate.text(StateColumn))))
            return false;
        for (const auto& [column, text] : texts)
            candidate.columns[column] = text;
    }
    Q_EMIT rowsChanged();
    return true;
}

bool TransferQueue::isActiveState(const QString& state)
{
    return state == QueueState::Preparing || state == QueueState::Downloading ||
           state == QueueState::Uploading || state == QueueState::Paused;
}

bool TransferQueue::validIndex(int index) const
{
    return index >= 0 && index < rows_.size();
}
