#include "listing/ColumnSort.h"

#include "platform/TextCodec.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <variant>

namespace {

constexpr double kib = 1024.0;
constexpr double mib = 1024.0 * 1024.0;
constexpr double gib = 1024.0 * 1024.0 * 1024.0;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The number a size text starts with ("1.50" of "1.50MB", "1023" of "1023"); 0 when none.
double leadingNumber(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    if (end < text.size() && text[end] == u'.') {
        ++end;
        while (end < text.size() && isDigit(text[end]))
            ++end;
    }
    bool ok = false;
    const double number = QStringView(text).left(end).toDouble(&ok);
    return ok ? number : 0.0;
}

// Size texts count by the value they stand for; a megabyte text only by its whole megabytes,
// so "1.99MB" and "1.01MB" rank the same.
double sizeValue(const QString& text)
{
    const double number = leadingNumber(text);
    if (text.endsWith(QLatin1String("GB")))
        return number * gib;
    if (text.endsWith(QLatin1String("MB")))
        return std::trunc(number) * mib;
    if (text.endsWith(QLatin1String("KB")))
        return number * kib;
    return number;
}

int compareBytes(const QByteArray& a, const QByteArray& b)
{
    const int common = std::memcmp(a.constData(), b.constData(),
                                   static_cast<size_t>(std::min(a.size(), b.size())));
    if (common != 0)
        return common;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

template <typename T> int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// What a row is ordered by, worked out once per row: the folder mark and the sort column's
// value, a number for the size column and GBK bytes (as a Chinese Windows orders them)
// otherwise.
struct SortKey {
    bool isFile = false;
    std::variant<double, QByteArray> value;
};

SortKey keyOf(const QStringList& texts, int column)
{
    SortKey key;
    key.isFile = !texts.value(ColumnSort::sizeColumn).isEmpty();
    const QString text = texts.value(column);
    if (column == ColumnSort::sizeColumn)
        key.value = sizeValue(text);
    else
        key.value = TextCodec::toGbk(text);
    return key;
}

int compareKeys(const SortKey& a, const SortKey& b, bool ascending)
{
    if (a.isFile != b.isFile)
        return a.isFile ? 1 : -1;
    int result = 0;
    if (const double* number = std::get_if<double>(&a.value))
        result = threeWay(*number, std::get<double>(b.value));
    else
        result = compareBytes(std::get<QByteArray>(a.value), std::get<QByteArray>(b.value));
    return ascending ? result : -result;
}

bool isParentRow(const QStringList& texts)
{
    return texts.value(0) == QLatin1String("..");
}

} // namespace

void ColumnSort::click(int column)
{
    if (column == column_) {
        ascending_ = !ascending_;
        return;
    }
    column_ = column;
    ascending_ = true;
}

int ColumnSort::compare(const QStringList& a, const QStringList& b) const
{
    return compareKeys(keyOf(a, column_), keyOf(b, column_), ascending_);
}

QList<qsizetype> ColumnSort::order(const QList<QStringList>& rows) const
{
    QList<SortKey> keys;
    keys.reserve(rows.size());
    for (const QStringList& row : rows)
        keys.append(keyOf(row, column_));
    QList<qsizetype> indexes(rows.size());
    std::iota(indexes.begin(), indexes.end(), 0);
    const auto firstSorted = indexes.begin() + (!rows.isEmpty() && isParentRow(rows.front()));
    std::stable_sort(firstSorted, indexes.end(), [&](qsizetype a, qsizetype b) {
        return compareKeys(keys[a], keys[b], ascending_) < 0;
    });
    return indexes;
}
