#pragma once

#include "queue/QueueEntry.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>

#include <array>
#include <atomic>
#include <optional>

class ColumnSort;
class QueueFile;

// The transfer queue: its rows are the whole state of every entry. The scheduler, the monitors,
// the speed meter and the commands read and write it from their own threads; the queue list in
// the window only displays it. Each call is atomic on its own; a sequence of calls is not, so
// callers test a row's state again before acting on it.
class TransferQueue : public QObject {
    Q_OBJECT
public:
    enum Column {
        SourceColumn,
        AddressColumn,
        SizeColumn,
        ProgressColumn,
        TargetColumn,
        ActionColumn,
        StartedColumn,
        FinishedColumn,
        SpeedColumn,
        ElapsedColumn,
        RemainingColumn,
        StateColumn,
        ColumnCount
    };

    struct Row {
        std::array<QString, ColumnCount> columns;
        int folder = 0;
        QString parts;  // PartRecord's stored text: the temporary files this entry made
        quint64 id = 0; // given once when the row is added; stays with it through moves

        const QString& text(Column column) const { return columns[column]; }
    };

    // What changed since a display last took the changes, so that it repaints only those rows.
    struct Changes {
        enum class Shape { Same, Appended, Rearranged };
        Shape shape = Shape::Same;
        // Same: only the changed rows, Appended and Rearranged: every row as it is now.
        QList<Row> rows;
        // Same and Appended: the indices of the rows whose texts changed (for Same, one per
        // entry of rows). Rearranged rows are told apart by their ids.
        QList<int> indices;
    };

    explicit TransferQueue(QObject* parent = nullptr);

    // Appends a row; an empty address becomes the server box's text, an empty progress "0%" and
    // an empty state "等待中". Returns the new row's index. Does not store the queue file.
    // An entry with CR, LF or NUL in one of its texts could not be stored, so it is refused
    // (entryRefused) and -1 returned.
    int AddQueueRow(const QueueEntry& entry, const QString& serverBoxText);
    // AddQueueRow for many entries at once (a loaded queue file); returns how many were added.
    int appendRows(const QList<QueueEntry>& entries, const QString& serverBoxText);

    // Add a file or folder transfer as a waiting row and store the queue file. Returns whether
    // the file was stored; the row is added either way.
    bool AddDownload(const QString& remoteSource, const QString& localTarget, int folder,
                     const QString& size, const QString& serverBoxText, QueueFile& file);
    bool AddUpload(const QString& localSource, const QString& remoteTarget, int folder,
                   const QString& size, const QString& serverBoxText, QueueFile& file);

    int rowCount() const;
    std::optional<Row> row(int index) const;
    // Empty when the row or column does not exist.
    QString text(int index, Column column) const;
    // False when the row or column does not exist (it may have been removed meanwhile).
    bool setText(int index, Column column, const QString& text);
    // Removes the rows with the given indices, as they are now; unknown indices are skipped.
    void removeRows(QList<int> indices);
    void clear();
    QList<Row> snapshot() const;
    // The rows showing a speed, that is the running ones: far fewer than all, and copied without
    // making the next writer copy the whole queue.
    QList<Row> rowsWithSpeed() const;

    // The first row with this source and target whose state is "准备中", "下载中", "上传中" or
    // "暂停": how a running transfer finds its row again after rows moved. -1 when none.
    int findActiveRow(const QString& source, const QString& target) const;

    // folder + "/" (unless it ends in one) + name, for remote paths.
    static QString remotePath(const QString& folder, const QString& name);
    // The same with the local separator, which on Linux is "/" as well.
    static QString localPath(const QString& folder, const QString& name);

    // Sets the state of every row whose state is one of from; returns how many changed.
    int changeStates(const QList<QStringView>& from, const QString& to);
    // Sets the state of the rows with the given indices; unknown indices are skipped.
    void setStates(const QList<int>& indices, const QString& state);
    // Removes every row whose state is one of states.
    void removeRowsInState(const QList<QStringView>& states);
    // Puts the rows in the order of the list's shared column sort.
    void sortRows(const ColumnSort& sort);
    // Under one lock: when the row at index still has this source and target and one of the
    // states, sets the texts and returns true; otherwise changes nothing. A running transfer
    // writes its row this way, so a row removed or moved meanwhile is never written in its place
    // and a pause that arrived first is not overwritten.
    bool setTextsIfRowIs(int index, const QString& source, const QString& target,
                         const QList<QStringView>& states,
                         const QList<QPair<Column, QString>>& texts);

    // Records the temporary files a transfer made in the first row with this source and
    // target, whatever its state: a row restarted while its transfer still stopped must learn
    // them too. Not shown, so no display change is noted.
    bool setParts(const QString& source, const QString& target, const QString& parts);

    // Hands over what changed since the last call and starts collecting anew. Meant for the one
    // display of the queue (the queue list's model): a second taker would take changes from it.
    Changes takeChanges();
    // Grows with every change; a reader that saw the same number has nothing new to read.
    quint64 revision() const { return revision_.load(); }

Q_SIGNALS:
    // Emitted after any change, from the thread that made it and with no lock held.
    void rowsChanged();
    // Emitted once when changes start collecting after takeChanges; a display connects with a
    // queued connection and takes them, so a burst of changes costs it one refresh.
    void changesPending();
    // An entry was not added because a text of it holds CR, LF or NUL.
    void entryRefused(const QString& source);

private:
    static Row rowFrom(const QueueEntry& entry, const QString& serverBoxText);
    static bool isActiveState(const QString& state);
    bool validIndex(int index) const;
    // Both are called with lock_ held; they return whether changesPending is due.
    bool noteChanged(int index);
    bool noteShape(Changes::Shape shape);
    void announce(bool pending);

    mutable QMutex lock_; // guards rows_, nextId_ and the collected changes
    QList<Row> rows_;
    quint64 nextId_ = 1;
    Changes::Shape shape_ = Changes::Shape::Same;
    QList<int> changedRows_; // may repeat an index; the display repaints it once more
    bool pending_ = false;
    std::atomic<quint64> revision_{0};
};
