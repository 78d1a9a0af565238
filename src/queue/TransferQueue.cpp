#include "queue/TransferQueue.h"

#include "accounts/StoredFile.h"
#include "listing/ColumnSort.h"
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

bool isStorable(const QueueEntry& entry)
{
    for (const QString* text : {&entry.source, &entry.target, &entry.address, &entry.size,
                                &entry.progress, &entry.action, &entry.started, &entry.finished,
                                &entry.speed, &entry.elapsed, &entry.remaining, &entry.state}) {
        if (StoredFile::isUnstorable(*text))
            return false;
    }
    return true;
}

bool isOneOf(const QString& text, const QList<QStringView>& texts)
{
    return std::any_of(texts.cbegin(), texts.cend(),
                       [&text](QStringView candidate) { return text == candidate; });
}

} // namespace

TransferQueue::TransferQueue(QObject* parent) : QObject(parent) {}

int TransferQueue::AddQueueRow(const QueueEntry& entry, const QString& serverBoxText)
{
    if (!isStorable(entry)) {
        Q_EMIT entryRefused(entry.source);
        return -1;
    }
    Row added = rowFrom(entry, serverBoxText);
    int index = 0;
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        index = static_cast<int>(rows_.size());
        added.id = nextId_++;
        rows_.append(added);
        pending = noteShape(Changes::Shape::Appended);
    }
    announce(pending);
    return index;
}

int TransferQueue::appendRows(const QList<QueueEntry>& entries, const QString& serverBoxText)
{
    QList<Row> added;
    added.reserve(entries.size());
    for (const QueueEntry& entry : entries) {
        if (isStorable(entry))
            added.append(rowFrom(entry, serverBoxText));
        else
            Q_EMIT entryRefused(entry.source);
    }
    if (added.isEmpty())
        return 0;
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        rows_.reserve(rows_.size() + added.size());
        for (Row& row : added) {
            row.id = nextId_++;
            rows_.append(std::move(row));
        }
        pending = noteShape(Changes::Shape::Appended);
    }
    announce(pending);
    return static_cast<int>(added.size());
}

TransferQueue::Row TransferQueue::rowFrom(const QueueEntry& entry, const QString& serverBoxText)
{
    Row row;
    row.columns = {
        entry.source,    entry.address.isEmpty() ? serverBoxText : entry.address,
        entry.size,      entry.progress.isEmpty() ? QStringLiteral("0%") : entry.progress,
        entry.target,    entry.action,
        entry.started,   entry.finished,
        entry.speed,     entry.elapsed,
        entry.remaining, entry.state.isEmpty() ? QueueState::Waiting.toString() : entry.state};
    row.folder = entry.folder;
    row.parts = entry.parts;
    return row;
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
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        if (!validIndex(index) || column < 0 || column >= ColumnCount)
            return false;
        rows_[index].columns[column] = text;
        pending = noteChanged(index);
    }
    announce(pending);
    return true;
}

void TransferQueue::removeRows(QList<int> indices)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        // From the highest index down, so earlier removals do not shift later ones.
        for (auto it = indices.crbegin(); it != indices.crend(); ++it) {
            if (validIndex(*it))
                rows_.removeAt(*it);
        }
        pending = noteShape(Changes::Shape::Rearranged);
    }
    announce(pending);
}

void TransferQueue::clear()
{
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        rows_.clear();
        pending = noteShape(Changes::Shape::Rearranged);
    }
    announce(pending);
}

QList<TransferQueue::Row> TransferQueue::snapshot() const
{
    QMutexLocker locker(&lock_);
    return rows_;
}

QList<TransferQueue::Row> TransferQueue::rowsWithSpeed() const
{
    QMutexLocker locker(&lock_);
    QList<Row> rows;
    for (const Row& row : rows_) {
        if (!row.text(SpeedColumn).isEmpty())
            rows.append(row);
    }
    return rows;
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

int TransferQueue::changeStates(const QList<QStringView>& from, const QString& to)
{
    int changed = 0;
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        for (int i = 0; i < rows_.size(); ++i) {
            QString& state = rows_[i].columns[StateColumn];
            if (isOneOf(state, from)) {
                state = to;
                pending = noteChanged(i) || pending;
                ++changed;
            }
        }
    }
    announce(pending);
    return changed;
}

void TransferQueue::setStates(const QList<int>& indices, const QString& state)
{
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        for (int index : indices) {
            if (validIndex(index)) {
                rows_[index].columns[StateColumn] = state;
                pending = noteChanged(index) || pending;
            }
        }
    }
    announce(pending);
}

void TransferQueue::removeRowsInState(const QList<QStringView>& states)
{
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        rows_.removeIf(
            [&states](const Row& row) { return isOneOf(row.text(StateColumn), states); });
        pending = noteShape(Changes::Shape::Rearranged);
    }
    announce(pending);
}

void TransferQueue::sortRows(const ColumnSort& sort)
{
    bool pending = false;
    {
        QMutexLocker locker(&lock_);
        sort.sort(rows_, [](const Row& row) {
            return QStringList(row.columns.cbegin(), row.columns.cend());
        });
        pending = noteShape(Changes::Shape::Rearranged);
    }
    announce(pending);
}

TransferQueue::Changes TransferQueue::takeChanges()
{
    QMutexLocker locker(&lock_);
    Changes changes;
    changes.shape = shape_;
    if (shape_ == Changes::Shape::Same) {
        for (int index : std::as_const(changedRows_)) {
            changes.rows.append(rows_.at(index));
            changes.indices.append(index);
        }
    } else {
        changes.rows = rows_;
        changes.indices = changedRows_;
    }
    shape_ = Changes::Shape::Same;
    changedRows_.clear();
    pending_ = false;
    return changes;
}

bool TransferQueue::noteChanged(int index)
{
    if (shape_ != Changes::Shape::Rearranged) {
        changedRows_.append(index);
        // Nobody is taking the changes (no display): fall back to "everything changed" rather
        // than collecting without end.
        if (changedRows_.size() > rows_.size())
            noteShape(Changes::Shape::Rearranged);
    }
    return noteShape(shape_);
}

bool TransferQueue::noteShape(Changes::Shape shape)
{
    if (shape > shape_)
        shape_ = shape;
    if (shape_ == Changes::Shape::Rearranged)
        changedRows_.clear();
    revision_.fetch_add(1);
    const bool due = !pending_;
    pending_ = true;
    return due;
}

void TransferQueue::announce(bool pending)
{
    Q_EMIT rowsChanged();
    if (pending)
        Q_EMIT changesPending();
}

bool TransferQueue::setTextsIfRowIs(int index, const QString& source, const QString& target,
                                    const QList<QStringView>& states,
                                    const QList<QPair<Column, QString>>& texts)
{
    bool pending = false;
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
        pending = noteChanged(index);
    }
    announce(pending);
    return true;
}

bool TransferQueue::setParts(const QString& source, const QString& target, const QString& parts)
{
    QMutexLocker locker(&lock_);
    for (Row& candidate : rows_) {
        if (candidate.text(SourceColumn) == source && candidate.text(TargetColumn) == target) {
            candidate.parts = parts;
            return true;
        }
    }
    return false;
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
