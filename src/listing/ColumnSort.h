#pragma once

#include <QList>
#include <QStringList>

#include <utility>

// The one sort column and direction shared by the local list, the remote list and the queue
// list: a click on a column of one list followed by a click on the same column of another list
// reverses the order. The view owns the single instance and lends it to its three lists; it is
// used on the GUI thread only.
//
// Rows are given as their column texts. Column 2 is the size text in all three lists; an empty
// size text marks a folder.
class ColumnSort {
public:
    static constexpr int sizeColumn = 2;

    int column() const { return column_; }
    bool ascending() const { return ascending_; }

    // The same column as last time flips the direction; any other column sorts ascending.
    // Nothing has been clicked at start-up, so the first click sorts ascending whichever column
    // it is on.
    void click(int column);

    // Negative when row a belongs above row b, positive when below, 0 when the rules do not
    // tell them apart. Folders come above files in both directions; then the sort column
    // decides: sizes by value, any other text by its GBK bytes.
    int compare(const QStringList& a, const QStringList& b) const;

    // The display order of rows, as indexes into rows: a ".." first row stays on top, the others
    // are ordered by compare, keeping their current order where it answers 0.
    QList<qsizetype> order(const QList<QStringList>& rows) const;

    // Reorders rows of any type by order; textsOf gives a row's column texts.
    template <typename Row, typename TextsOf> void sort(QList<Row>& rows, TextsOf textsOf) const
    {
        QList<QStringList> texts;
        texts.reserve(rows.size());
        for (const Row& row : rows)
            texts.append(textsOf(row));
        QList<Row> sorted;
        sorted.reserve(rows.size());
        for (qsizetype index : order(texts))
            sorted.append(std::move(rows[index]));
        rows = std::move(sorted);
    }

private:
    int column_ = 0;
    bool ascending_ = false;
};
