#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// A table of display texts with fixed columns, one flag per row telling folders from files.
// The lists of the main view show their rows through it; whole listings replace the rows in
// one reset so that tens of thousands of rows appear at once.
class TextRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int FolderRole = Qt::UserRole;

    struct Column {
        QString title;
        Qt::Alignment alignment;
    };
    struct Row {
        QStringList texts; // one per column; missing trailing texts read as empty
        bool folder = false;
    };

    explicit TextRowsModel(QVector<Column> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setRows(QVector<Row> rows);
    void insertRowAt(int position, Row row);
    void setText(int row, int column, const QString& text);
    void removeRowAt(int row);
    void clear();
    const Row& rowAt(int row) const;
    // Puts the rows in the given order (order[i] is the current index of the row that becomes
    // row i); selections and the current row move with their rows. Anything but a permutation
    // of the rows is ignored.
    void reorder(const QList<qsizetype>& order);

private:
    QVariant alignmentOf(int column) const;

    const QVector<Column> columns_;
    QVector<Row> rows_;
};
