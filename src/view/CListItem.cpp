#include "view/CListItem.h"

#include "view/FormatSize.h"

#include <algorithm>
#include <array>

namespace {

// IIS starts every name this many columns after the end of its time field: a blank and a
// 20-column size in file lines, "       <DIR>          " in folder lines.
constexpr qsizetype iisNameOffset = 22;
// Type character plus nine permission characters; ACL and SELinux marks may follow.
constexpr qsizetype unixModeLength = 10;
constexpr qsizetype maxCountDigits = 20;
constexpr char16_t chineseMonthMark = u'\u6708';

struct Field {
    qsizetype begin = 0;
    qsizetype end = 0;
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Hands out the blank-separated fields of a line from left to right, so that a line is read
// once, however long it is and however little of it turns out to matter.
class FieldCursor {
public:
    FieldCursor(QStringView text, qsizetype from) : text_(text), position_(from) {}

    bool next(Field& field)
    {
        while (position_ < text_.size() && isBlank(text_[position_]))
            ++position_;
        if (position_ >= text_.size())
            return false;
        field.begin = position_;
        while (position_ < text_.size() && !isBlank(text_[position_]))
            ++position_;
        field.end = position_;
        return true;
    }

private:
    QStringView text_;
    qsizetype position_;
};

QStringView textOf(QStringView line, const Field& field)
{
    return line.mid(field.begin, field.end - field.begin);
}

bool isDigits(QStringView text, qsizetype minLength, qsizetype maxLength)
{
    return text.size() >= minLength && text.size() <= maxLength &&
           std::all_of(text.begin(), text.end(), isDigit);
}

// A byte count of at most 20 digits that fits in 64 bits.
bool readCount(QStringView text, quint64& value)
{
    if (!isDigits(text, 1, maxCountDigits))
        return false;
    bool ok = false;
    value = text.toULongLong(&ok, 10);
    return ok;
}

// English abbreviations as ls prints them in the C locale, or "3月" from a Chinese locale.
bool isMonth(QStringView text)
{
    static const std::array<QLatin1String, 12> names = {
        QLatin1String("Jan"), QLatin1String("Feb"), QLatin1String("Mar"), QLatin1String("Apr"),
        QLatin1String("May"), QLatin1String("Jun"), QLatin1String("Jul"), QLatin1String("Aug"),
        QLatin1String("Sep"), QLatin1String("Oct"), QLatin1String("Nov"), QLatin1String("Dec")};
    if (!text.isEmpty() && text.back() == chineseMonthMark)
        return isDigits(text.chopped(1), 1, 2);
    return std::any_of(names.begin(), names.end(), [text](QLatin1String name) {
        return text.compare(name, Qt::CaseInsensitive) == 0;
    });
}

// "9:05", "14:22" or "14:22:07".
bool isClockTime(QStringView text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 1 || !isDigits(text.left(colon), 1, 2))
        return false;
    const QStringView rest = text.mid(colon + 1);
    if (rest.size() == 2)
        return isDigits(rest, 2, 2);
    return rest.size() == 5 && rest[2] == u':' && isDigits(rest.left(2), 2, 2) &&
           isDigits(rest.mid(3), 2, 2);
}

bool isTimeOrYear(QStringView text)
{
    return isClockTime(text) || isDigits(text, 4, 4);
}

bool hasVisibleCharacter(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); });
}

// A name that could step out of the folder it is listed in ("../x", "a/b") or that no file
// system stores (a NUL) is not taken from a server.
bool isAcceptableName(QStringView name)
{
    return hasVisibleCharacter(name) && !name.contains(u'/') && !name.contains(QChar(u'\0'));
}

QStringView withoutLineEnd(QStringView line)
{
    while (!line.isEmpty() && (line.back() == u'\r' || line.back() == u'\n'))
        line.chop(1);
    return line;
}

// The size, month, day and time-or-year fields that stand in a row before the name of every
// ls-style line, found as the first four consecutive fields of that shape.
struct UnixDateFields {
    quint64 bytes = 0;
    Field month;
    Field timeOrYear;
};

bool isSizeAndDate(QStringView text, const std::array<Field, 4>& fields, quint64& bytes)
{
    return readCount(textOf(text, fields[0]), bytes) && isMonth(textOf(text, fields[1])) &&
           isDigits(textOf(text, fields[2]), 1, 2) && isTimeOrYear(textOf(text, fields[3]));
}

bool findSizeAndDate(QStringView text, qsizetype from, UnixDateFields& found)
{
    FieldCursor cursor(text, from);
    std::array<Field, 4> window;
    qsizetype seen = 0;
    Field field;
    while (cursor.next(field)) {
        std::rotate(window.begin(), window.begin() + 1, window.end());
        window.back() = field;
        if (++seen >= 4 && isSizeAndDate(text, window, found.bytes)) {
            found.month = window[1];
            found.timeOrYear = window[3];
            return true;
        }
    }
    return false;
}

bool isDosDate(QStringView text)
{
    if (text.size() != 8 && text.size() != 10)
        return false;
    const QChar separator = text[2];
    return (separator == u'-' || separator == u'/') && text[5] == separator &&
           isDigits(text.left(2), 2, 2) && isDigits(text.mid(3, 2), 2, 2) &&
           isDigits(text.mid(6), 2, 4);
}

bool isMeridiem(QStringView text)
{
    return text.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0 ||
           text.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
}

// "02:22PM" as IIS prints it, "14:22" from 24-hour servers.
bool isDosTime(QStringView text)
{
    if (text.size() > 2 && isMeridiem(text.right(2)))
        text.chop(2);
    return isClockTime(text);
}

bool isDirMark(QStringView text)
{
    return text.compare(QLatin1String("<DIR>"), Qt::CaseInsensitive) == 0;
}

qsizetype skipBlanks(QStringView text, qsizetype position)
{
    while (position < text.size() && isBlank(text[position]))
        ++position;
    return position;
}

// "name -> target"; with more than one arrow the first is taken to end the name.
QStringView withoutLinkTarget(QStringView text)
{
    const qsizetype arrow = text.indexOf(QLatin1String(" -> "));
    return arrow < 0 ? text : text.left(arrow);
}

// IIS pads the folder mark up to its name column; blanks beyond that column belong to the name.
qsizetype dosFolderNameStart(QStringView text, qsizetype timeEnd, qsizetype markEnd)
{
    const qsizetype afterPadding = skipBlanks(text, markEnd);
    return std::min(afterPadding, std::max(markEnd + 1, timeEnd + iisNameOffset));
}

} // namespace

bool CListItem::Parse(const QString& line)
{
    *this = CListItem();
    const QStringView text = withoutLineEnd(line);
    if (text.isEmpty())
        return false;
    const QChar type = text.front();
    if (type == u'-' || type == u'd' || type == u'D' || type == u'l')
        return ParseUnix(text);
    return ParseDos(text);
}

bool CListItem::ParseUnix(QStringView text)
{
    FieldCursor cursor(text, 0);
    Field mode;
    UnixDateFields found;
    if (!cursor.next(mode) || mode.end < unixModeLength || !findSizeAndDate(text, mode.end, found))
        return false;
    const bool link = text.front() == u'l';
    QStringView entryName = text.mid(found.timeOrYear.end + 1);
    if (link)
        entryName = withoutLinkTarget(entryName);
    if (!isAcceptableName(entryName))
        return false;
    isFolder = text.front() == u'd' || text.front() == u'D';
    isLink = link;
    permissions = text.mid(1, 9).toString();
    date = text.mid(found.month.begin, found.timeOrYear.end - found.month.begin).toString();
    name = entryName.toString();
    bytes = isFolder ? 0 : found.bytes;
    size = isFolder ? QString() : FormatSize(bytes);
    return true;
}

bool CListItem::ParseDos(QStringView text)
{
    FieldCursor cursor(text, 0);
    Field dateField;
    Field timeField;
    Field sizeField;
    if (!cursor.next(dateField) || dateField.begin != 0 || !isDosDate(textOf(text, dateField)) ||
        !cursor.next(timeField) || !isDosTime(textOf(text, timeField)) || !cursor.next(sizeField))
        return false;
    // Some servers put a blank between the time and AM/PM.
    if (isClockTime(textOf(text, timeField)) && isMeridiem(textOf(text, sizeField))) {
        timeField.end = sizeField.end;
        if (!cursor.next(sizeField))
            return false;
    }
    const bool folder = isDirMark(textOf(text, sizeField));
    quint64 count = 0;
    if (!folder && !readCount(textOf(text, sizeField), count))
        return false;
    const qsizetype nameStart =
        folder ? dosFolderNameStart(text, timeField.end, sizeField.end) : sizeField.end + 1;
    const QStringView entryName = text.mid(nameStart);
    if (!isAcceptableName(entryName))
        return false;
    isFolder = folder;
    date = text.left(timeField.end + 1).toString();
    name = entryName.toString();
    bytes = count;
    size = folder ? QString() : FormatSize(count);
    return true;
}
