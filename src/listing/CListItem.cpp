#include "listing/CListItem.h"

#include "listing/FormatSize.h"
#include "listing/ListingText.h"
#include "listing/MlsdFacts.h"
#include "listing/UnixDateFinder.h"

#include <algorithm>

using namespace ListingText;

namespace {

// IIS starts every name this many columns after the end of its time field: a blank and a
// 20-column size in file lines, "       <DIR>          " in folder lines.
constexpr qsizetype iisNameOffset = 22;
// Type character plus nine permission characters; ACL and SELinux marks may follow.
constexpr qsizetype unixModeLength = 10;

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

// "03-05-14", "03/05/2014", "14.03.2010", and the year first: "2010-03-14".
bool isDosDate(QStringView text)
{
    if (text.size() == 10 && isDigits(text.left(4), 4, 4)) {
        const QChar separator = text[4];
        return isDateSeparator(separator) && text[7] == separator &&
               isDigits(text.mid(5, 2), 2, 2) && isDigits(text.mid(8), 2, 2);
    }
    if (text.size() != 8 && text.size() != 10)
        return false;
    const QChar separator = text[2];
    return isDateSeparator(separator) && text[5] == separator && isDigits(text.left(2), 2, 2) &&
           isDigits(text.mid(3, 2), 2, 2) && isDigits(text.mid(6), 2, 4);
}

// "1,234,567" as dir prints sizes, or "1.234.567" in locales that group with a dot: groups of
// three digits after the first.
bool readGroupedCount(QStringView text, quint64& value)
{
    const qsizetype firstGroup = std::find_if_not(text.begin(), text.end(), isDigit) - text.begin();
    if (firstGroup < 1 || firstGroup > 3 || firstGroup == text.size())
        return false;
    const QChar separator = text[firstGroup];
    if (separator != u',' && separator != u'.')
        return false;
    QString digits = text.left(firstGroup).toString();
    for (qsizetype at = firstGroup; at < text.size(); at += 4) {
        if (text[at] != separator || !isDigits(text.mid(at + 1, 3), 3, 3))
            return false;
        digits += text.mid(at + 1, 3);
    }
    return readCount(digits, value);
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
    if (MlsdFacts::LooksLikeFacts(text))
        return MlsdFacts::Read(text, *this);
    const QChar type = text.front();
    if (type == u'-' || type == u'd' || type == u'D' || type == u'l')
        return ParseUnix(text);
    return ParseDos(text);
}

bool CListItem::ParseUnix(QStringView text)
{
    FieldCursor cursor(text, 0);
    Field mode;
    UnixDateFinder::Found found;
    if (!cursor.next(mode) || mode.end < unixModeLength ||
        !UnixDateFinder::find(text, mode.end, found))
        return false;
    const bool link = text.front() == u'l';
    qsizetype nameStart = found.dateEnd.end + 1;
    if (found.padded && nameStart < text.size() && isBlank(text[nameStart]))
        ++nameStart;
    QStringView entryName = text.mid(nameStart);
    if (link)
        entryName = withoutLinkTarget(entryName);
    if (!isAcceptableName(entryName))
        return false;
    isFolder = text.front() == u'd' || text.front() == u'D';
    isLink = link;
    permissions = text.mid(1, 9).toString();
    date = text.mid(found.dateBegin.begin, found.dateEnd.end - found.dateBegin.begin).toString();
    name = entryName.toString();
    bytes = isFolder ? 0 : found.bytes;
    size = isFolder ? QString() : FormatSize(bytes);
    exactSize = !isFolder && !isLink;
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
    if (!folder && !readCount(textOf(text, sizeField), count) &&
        !readGroupedCount(textOf(text, sizeField), count))
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
    exactSize = !folder;
    return true;
}
