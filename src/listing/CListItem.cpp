#include "listing/CListItem.h"

#include "listing/FormatSize.h"
#include "listing/MlsdFacts.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {

// IIS starts every name this many columns after the end of its time field: a blank and a
// 20-column size in file lines, "       <DIR>          " in folder lines.
constexpr qsizetype iisNameOffset = 22;
// Type character plus nine permission characters; ACL and SELinux marks may follow.
constexpr qsizetype unixModeLength = 10;
constexpr qsizetype maxCountDigits = 20;
constexpr qsizetype maxMonthNameLength = 9;
// Chinese and Japanese "3月", Korean "3월"; a day may end in "日" or "일", a year in "年" or "년".
constexpr char16_t chineseMonthMark = u'\u6708';
constexpr QStringView monthMarks = u"\u6708\uC6D4";
constexpr QStringView dayMarks = u".,\u65E5\uC77C";
constexpr QStringView yearMarks = u"\u5E74\uB144";

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
    // Some locales print a no-break space inside the date ("7.\u00a0pro"); it only separates
    // fields where dates are looked for.
    enum Separators { Blanks, BlanksAndNoBreakSpace };

    FieldCursor(QStringView text, qsizetype from, Separators separators = Blanks)
        : text_(text), position_(from), noBreakSpaceSeparates_(separators == BlanksAndNoBreakSpace)
    {
    }

    bool next(Field& field)
    {
        while (position_ < text_.size() && isSeparator(text_[position_]))
            ++position_;
        if (position_ >= text_.size())
            return false;
        field.begin = position_;
        while (position_ < text_.size() && !isSeparator(text_[position_]))
            ++position_;
        field.end = position_;
        return true;
    }

private:
    bool isSeparator(QChar c) const
    {
        return isBlank(c) || (noBreakSpaceSeparates_ && c == u'\u00a0');
    }

    QStringView text_;
    qsizetype position_;
    bool noBreakSpaceSeparates_;
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

// A field's suffix of one character, taken off when present.
bool dropSuffix(QStringView& text, QStringView suffixes)
{
    if (text.isEmpty() ||
        std::find(suffixes.begin(), suffixes.end(), text.back()) == suffixes.end())
        return false;
    text.chop(1);
    return true;
}

// Month names as ls and servers print them in the C locale and in the European locales, with the
// English and German full names: lower case, without the dot some locales put after them.
bool isMonthName(QStringView text)
{
    static const std::vector<std::u16string_view> names = [] {
        std::vector<std::u16string_view> sorted = {
            u"jan",      u"feb",      u"mar",    u"apr",     u"may",     u"jun",       u"jul",
            u"aug",      u"sep",      u"oct",    u"nov",     u"dec",     u"sept",      u"mär",
            u"märz",     u"mai",      u"juni",   u"juli",    u"okt",     u"dez",       u"janv",
            u"févr",     u"fév",      u"mars",   u"avr",     u"juin",    u"juil",      u"août",
            u"déc",      u"ene",      u"abr",    u"ago",     u"dic",     u"gen",       u"mag",
            u"giu",      u"lug",      u"set",    u"ott",     u"fev",     u"out",       u"mrt",
            u"mei",      u"maj",      u"des",    u"febr",    u"márc",    u"ápr",       u"máj",
            u"jún",      u"júl",      u"szept",  u"sty",     u"lut",     u"kwi",       u"cze",
            u"lip",      u"sie",      u"wrz",    u"paź",     u"lis",     u"gru",       u"led",
            u"úno",      u"bře",      u"dub",    u"kvě",     u"čvn",     u"čvc",       u"srp",
            u"zář",      u"říj",      u"pro",    u"янв",     u"фев",     u"мар",       u"апр",
            u"май",      u"мая",      u"июн",    u"июл",     u"авг",     u"сен",       u"окт",
            u"ноя",      u"дек",      u"oca",    u"şub",     u"nis",     u"haz",       u"tem",
            u"ağu",      u"eyl",      u"eki",    u"kas",     u"ara",     u"january",   u"february",
            u"march",    u"april",    u"june",   u"july",    u"august",  u"september", u"october",
            u"november", u"december", u"januar", u"februar", u"oktober", u"dezember"};
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        return sorted;
    }();
    std::array<char16_t, maxMonthNameLength> lower{};
    if (text.size() < 3 || text.size() > maxMonthNameLength)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        lower[i] = text[i].toLower().unicode();
    return std::binary_search(names.begin(), names.end(),
                              std::u16string_view(lower.data(), text.size()));
}

// English abbreviations as ls prints them in the C locale.
bool isEnglishMonth(QStringView text)
{
    static const std::array<QLatin1String, 12> names = {
        QLatin1String("Jan"), QLatin1String("Feb"), QLatin1String("Mar"), QLatin1String("Apr"),
        QLatin1String("May"), QLatin1String("Jun"), QLatin1String("Jul"), QLatin1String("Aug"),
        QLatin1String("Sep"), QLatin1String("Oct"), QLatin1String("Nov"), QLatin1String("Dec")};
    return std::any_of(names.begin(), names.end(), [text](QLatin1String name) {
        return text.compare(name, Qt::CaseInsensitive) == 0;
    });
}

// "Mar", "mar", "Dez.", "März,", "Feb.,", "déc.".
bool isMonth(QStringView text)
{
    dropSuffix(text, u",");
    dropSuffix(text, u".");
    return isMonthName(text);
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

// "20.23" from locales that write the time with a dot.
bool isDottedTime(QStringView text)
{
    const qsizetype dot = text.indexOf(u'.');
    return dot >= 1 && isDigits(text.left(dot), 1, 2) && isDigits(text.mid(dot + 1), 2, 2);
}

bool isDateSeparator(QChar c)
{
    return c == u'-' || c == u'/' || c == u'.';
}

// Three numbers with one separator, the year first or last: "2012-01-31", "2001/12/24",
// "15-08-2006", "2009.11.02".
bool isFullDate(QStringView text)
{
    if (text.size() < 8 || text.size() > 10)
        return false;
    const qsizetype first = std::find_if_not(text.begin(), text.end(), isDigit) - text.begin();
    if (first == text.size() || !isDateSeparator(text[first]))
        return false;
    const qsizetype second = text.indexOf(text[first], first + 1);
    if (second < 0)
        return false;
    const QStringView start = text.left(first);
    const QStringView middle = text.mid(first + 1, second - first - 1);
    const QStringView end = text.mid(second + 1);
    return isDigits(middle, 1, 2) && ((isDigits(start, 4, 4) && isDigits(end, 1, 2)) ||
                                      (isDigits(start, 1, 2) && isDigits(end, 4, 4)));
}

// Month and day without a year: "03-14", "03/14", or "7.12." with the dot after each number.
bool isShortDate(QStringView text)
{
    const qsizetype separator = text.indexOf(u'-') >= 0 ? text.indexOf(u'-') : text.indexOf(u'/');
    if (separator >= 0)
        return isDigits(text.left(separator), 1, 2) && isDigits(text.mid(separator + 1), 1, 2);
    if (!dropSuffix(text, u"."))
        return false;
    const qsizetype dot = text.indexOf(u'.');
    return dot >= 0 && isDigits(text.left(dot), 1, 2) && isDigits(text.mid(dot + 1), 1, 2);
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

// What one field of a date can be; a field may be several at once ("2013" is a count and a year).
enum Shape : unsigned {
    Count = 1u << 0,
    // The fields of ls's month-first order in the C locale: "Mar", or "3月" from a Chinese locale;
    // any one or two digits for the day; a time with a colon.
    ClassicMonth = 1u << 1,
    PlainDay = 1u << 2,
    ClockTime = 1u << 3,
    // Any four digits.
    Year = 1u << 4,
    // Of the other orders.
    Month = 1u << 5,
    Day = 1u << 6,
    DayOfMonth = 1u << 7,
    DayWithComma = 1u << 8,
    DayWithDot = 1u << 9,
    CalendarYear = 1u << 10,
    DottedTime = 1u << 11,
    FullDate = 1u << 12,
    ShortDate = 1u << 13,
    Time = ClockTime | DottedTime,
    TimeOrYear = Time | Year,
};

// One or two digits as a number.
int smallNumber(QStringView digits)
{
    int value = 0;
    for (QChar digit : digits)
        value = value * 10 + (digit.unicode() - u'0');
    return value;
}

// "7", "07", "7.", "14,", "7일".
unsigned dayShape(QStringView text)
{
    const QChar mark = text.isEmpty() ? QChar() : text.back();
    const bool marked = dropSuffix(text, dayMarks);
    if (!isDigits(text, 1, 2))
        return 0;
    const unsigned plain = marked ? Day : Day | PlainDay;
    const int value = smallNumber(text);
    if (value < 1 || value > 31)
        return plain;
    return plain | DayOfMonth | (marked && mark == u',' ? DayWithComma : Shape{}) |
           (marked && mark == u'.' ? DayWithDot : Shape{});
}

// "2008" or "2008년" in the years a listing shows.
bool isCalendarYear(QStringView text)
{
    dropSuffix(text, yearMarks);
    return isDigits(text, 4, 4) && (text.startsWith(u"19") || text.startsWith(u"20"));
}

unsigned wordShape(QStringView text)
{
    if (isEnglishMonth(text))
        return ClassicMonth | Month;
    return isMonth(text) ? Month : Shape{};
}

unsigned shapeOf(QStringView text)
{
    if (text.isEmpty())
        return 0;
    if (!isDigit(text.front()))
        return wordShape(text);
    // Most fields are plain numbers: link counts, ids, sizes, days and years.
    if (isDigits(text, 1, maxCountDigits)) {
        if (text.size() <= 2)
            return Count | dayShape(text);
        return text.size() != 4 ? Count
                                : Count | Year | (isCalendarYear(text) ? CalendarYear : Shape{});
    }
    unsigned shape = dayShape(text) | (isCalendarYear(text) ? CalendarYear : Shape{});
    if (isClockTime(text))
        shape |= ClockTime;
    if (isDottedTime(text))
        shape |= DottedTime;
    if (isFullDate(text))
        shape |= FullDate;
    if (isShortDate(text))
        shape |= ShortDate;
    const bool chinese = text.back() == chineseMonthMark;
    if (dropSuffix(text, monthMarks) && isDigits(text, 1, 2))
        shape |= chinese ? ClassicMonth | Month : Month;
    return shape;
}

// The fields of a line after its mode, each read and classified once, however many sizes are
// tried over it. Only the last few fields are kept: a date is looked for right after each size,
// so no field further back is asked for again.
class ClassifiedFields {
public:
    static constexpr int window = 8;

    ClassifiedFields(QStringView text, qsizetype from, FieldCursor::Separators separators)
        : text_(text), cursor_(text, from, separators)
    {
    }

    bool exists(int index)
    {
        while (read_ <= index && cursor_.next(fields_[read_ % window])) {
            shapes_[read_ % window] = shapeOf(textOf(text_, fields_[read_ % window]));
            ++read_;
        }
        return index < read_;
    }
    // 0 past the end of the line.
    unsigned shape(int index) { return exists(index) ? shapes_[index % window] : 0; }
    const Field& field(int index) const { return fields_[index % window]; }

private:
    QStringView text_;
    FieldCursor cursor_;
    std::array<Field, window> fields_;
    std::array<unsigned, window> shapes_{};
    int read_ = 0;
};

// One order of date fields. Where a locale pads an old entry's year or date on its right, the
// blank before the name is padding, not part of the name.
struct DatePattern {
    std::array<unsigned, 4> shapes;
    int length;
    bool paddedOnTheRight = false;
};

// ls in the C locale, as every Unix server prints it: "Mar 05 14:22", "Mar  5  2013".
constexpr DatePattern classicPattern = {{ClassicMonth, PlainDay, ClockTime | Year}, 3};
// The other orders, tried in this order after each size. "Jun 14, 2003 11:20" comes before the
// month-first order, which would stop at its year.
constexpr DatePattern otherPatterns[] = {
    {{Month, DayWithComma, Year, Time}, 4},    // Jun 14, 2003 11:20
    {{Month, Day, TimeOrYear}, 3},             // márc 3 11:00, 12월 7일 20:23, dec 7 10.22
    {{DayWithDot, Month, Year}, 3, true},      // 14. Mär 2008 (German ls)
    {{DayOfMonth, Month, TimeOrYear}, 3},      // 05 nov 2007, 4. März, 18:30
    {{FullDate, Time}, 2},                     // 2012-01-31 08:05, 2001/12/24 09:00
    {{FullDate}, 1, true},                     // 2009.11.02
    {{ShortDate, TimeOrYear}, 2},              // 03-14 2008, 03-14 16:20, 7.12. 20:23
    {{DayWithDot, DayWithDot, TimeOrYear}, 3}, // 14. 3. 2008
    {{CalendarYear, Month, DayOfMonth}, 3},    // 2008 márc 14
};

bool matches(ClassifiedFields& fields, int first, const DatePattern& pattern)
{
    for (int i = 0; i < pattern.length; ++i) {
        if ((fields.shape(first + i) & pattern.shapes[i]) == 0)
            return false;
    }
    return true;
}

// The size, date and where the name starts, in every ls-style line.
struct UnixDateFields {
    quint64 bytes = 0;
    Field dateBegin;
    Field dateEnd;
    bool padded = false;
};

// A list of date patterns, tried in their order, and what separates their fields.
struct DatePatterns {
    const DatePattern* begin;
    const DatePattern* end;
    FieldCursor::Separators separators;
};

const DatePattern* findDateAt(ClassifiedFields& fields, int first, DatePatterns patterns)
{
    for (const DatePattern* pattern = patterns.begin; pattern != patterns.end; ++pattern) {
        if (matches(fields, first, *pattern))
            return pattern;
    }
    return nullptr;
}

// The first field that reads as a size and is followed by a date of one of the patterns.
bool findSizeAndDate(QStringView text, qsizetype from, DatePatterns patterns, UnixDateFields& found)
{
    ClassifiedFields fields(text, from, patterns.separators);
    for (int index = 0; fields.exists(index); ++index) {
        if ((fields.shape(index) & Count) == 0)
            continue;
        const DatePattern* date = findDateAt(fields, index + 1, patterns);
        if (date && readCount(textOf(text, fields.field(index)), found.bytes)) {
            found.dateBegin = fields.field(index + 1);
            found.dateEnd = fields.field(index + date->length);
            found.padded = date->paddedOnTheRight;
            return true;
        }
    }
    return false;
}

// A classic size and date anywhere in the line come first, so that every line ls prints in the
// C locale reads as it always has, whatever its owner and group look like ("5 mar 4096 Dec 07
// 10:22": owner 5, group mar). Only a line without one is read with the other orders.
bool findUnixSizeAndDate(QStringView text, qsizetype from, UnixDateFields& found)
{
    const DatePatterns classic = {&classicPattern, &classicPattern + 1, FieldCursor::Blanks};
    const DatePatterns others = {std::begin(otherPatterns), std::end(otherPatterns),
                                 FieldCursor::BlanksAndNoBreakSpace};
    return findSizeAndDate(text, from, classic, found) ||
           findSizeAndDate(text, from, others, found);
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
    UnixDateFields found;
    if (!cursor.next(mode) || mode.end < unixModeLength ||
        !findUnixSizeAndDate(text, mode.end, found))
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
