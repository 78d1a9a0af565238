// Feeds arbitrary bytes to the listing parser, read as UTF-8, as Latin-1 and as UTF-16, and
// checks what an accepted line must satisfy; then orders two parsed rows both ways round.
#include "listing/CListItem.h"
#include "listing/ColumnSort.h"
#include "listing/FormatSize.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "listing fuzz: %s\n", what);
        std::abort();
    }
}

void checkAccepted(const QString& line, const CListItem& item)
{
    require(!item.name.trimmed().isEmpty(), "blank name accepted");
    require(line.contains(item.name), "name is not taken from the line");
    require(line.contains(item.date), "date is not taken from the line");
    require(!item.name.contains(u'/'), "name with a slash accepted");
    require(!item.name.contains(QChar(u'\0')), "name with a NUL accepted");
    require(!(item.isFolder && item.isLink), "link taken for a folder");
    require(item.size == (item.isFolder ? QString() : FormatSize(item.bytes)),
            "size text does not match the byte count");
    require(item.permissions.isEmpty() || item.permissions.size() == 9, "odd permissions");
}

QStringList parsedRow(const QString& line)
{
    CListItem item;
    if (!item.Parse(line))
        return {line, QString(), line.left(12), QString()};
    checkAccepted(line, item);
    return {item.name, item.date, item.size, item.permissions};
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

void checkOrder(const QStringList& a, const QStringList& b)
{
    for (int column = 0; column < 4; ++column) {
        ColumnSort sort;
        sort.click(column);
        for (int direction = 0; direction < 2; ++direction) {
            require(sign(sort.compare(a, b)) == -sign(sort.compare(b, a)),
                    "comparison is not antisymmetric");
            require(sort.compare(a, a) == 0, "row differs from itself");
            sort.click(column);
        }
    }
}

// The first line of the input is parsed alone; with a second line, the two rows are also ordered.
void fuzzText(const QString& text, bool order)
{
    const qsizetype lineEnd = text.indexOf(u'\n');
    const QStringList first = parsedRow(lineEnd < 0 ? text : text.left(lineEnd));
    if (order && lineEnd >= 0)
        checkOrder(first, parsedRow(text.mid(lineEnd + 1)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Ordering converts texts to GBK, which is slow; once per input is enough.
    fuzzText(QString::fromUtf8(bytes), true);
    fuzzText(QString::fromLatin1(bytes), false);
    fuzzText(QString(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2)),
             false);
    return 0;
}
