#include "listing/ListingText.h"

#include <QString>

#include <algorithm>

namespace ListingText {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QStringView textOf(QStringView line, const Field& field)
{
    return line.mid(field.begin, field.end - field.begin);
}

bool isDigits(QStringView text, qsizetype minLength, qsizetype maxLength)
{
    return text.size() >= minLength && text.size() <= maxLength &&
           std::all_of(text.begin(), text.end(), isDigit);
}

bool readCount(QStringView text, quint64& value)
{
    if (!isDigits(text, 1, maxCountDigits))
        return false;
    bool ok = false;
    value = text.toULongLong(&ok, 10);
    return ok;
}

bool dropSuffix(QStringView& text, QStringView suffixes)
{
    if (text.isEmpty() ||
        std::find(suffixes.begin(), suffixes.end(), text.back()) == suffixes.end())
        return false;
    text.chop(1);
    return true;
}

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

bool isDateSeparator(QChar c)
{
    return c == u'-' || c == u'/' || c == u'.';
}

} // namespace ListingText
