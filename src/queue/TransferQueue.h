#pragma once

#include "queue/QueueEntry.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>

#include <array>
#include <optional>

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

        const QString& text(Column column) const { return columns[column]; }
    };

    explicit TransferQueue(QObject* parent = nullptr);

    // Appends a row; an empty address becomes the server box's text, an empty progress "0%" and
    // an empty state "等待中". Returns the new row's index. Does not store the queue file.
    int AddQueueRow(const QueueEntry& entry, const QString& serverBoxText);

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

    // The first row with this source and target whose state is "准备中", "下载中", "上传中" or
    // "暂停": how a running transfer finds its row again after rows moved. -1 when none.
    int findActiveRow(const QString& source, const QString& target) const;

    // folder + "/" (unless it ends in one) + name, for remote paths.
    static QString remotePath(const QString& folder, const QString& name);
    // The same with the local separator, which on Linux is "/" as well.
    static QString localPath(const QString& folder, const QString& name);

Q_SIGNALS:
    // Emitted after any change, from the thread that made it and with no lock held; a view
    // connects with a queued connection and re-reads the rows.
    void rowsChanged();

private:
    static bool isActiveState(const QString& state);
    bool validIndex(int index) const;

    mutable QMutex lock_; // guards rows_
    QList<Row> rows_;

public:
    // Under one lock: when the row at index still has this source and target and one of the
    // states, sets the texts and returns true; otherwise changes nothing. A running transfer
    // writes its row this way, so a row removed or moved meanwhile is never written in its place
    // and a pause that arrived first is not overwritten.
    bool setTextsIfRowIs(int index, const QString& source, const QString& target,
                         const QList<QStringView>& states,
                         const QList<QPair<Column, QString>>& texts);
};
