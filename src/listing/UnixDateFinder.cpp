#include "listing/UnixDateFinder.h"

#include "listing/ListingText.h"

#include <QString>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

using namespace ListingText;

namespace {

constexpr qsizetype maxMonthNameLength = 9;
// Chinese and Japanese "3月", Korean "3월"; a day may end in "日" or "일", a year in "年" or "년".
constexpr char16_t chineseMonthMark = u'\u6708';
constexpr QStringView monthMarks = u"\u6708\uC6D4";
constexpr QStringView dayMarks = u".,\u65E5\uC77C";
constexpr QStringView yearMarks = u"\u5E74\uB144";

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

// "20.23" from locales that write the time with a dot.
bool isDottedTime(QStringView text)
{
    const qsizetype dot = text.indexOf(u'.');
    return dot >= 1 && isDigits(text.left(dot), 1, 2) && isDigits(text.mid(dot + 1), 2, 2);
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
bool findSizeAndDate(QStringView text, qsizetype from, DatePatterns patterns,
                     UnixDateFinder::Found& found)
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
bool findUnixSizeAndDate(QStringView text, qsizetype from, UnixDateFinder::Found& found)
{
    const DatePatterns classic = {&classicPattern, &classicPattern + 1, FieldCursor::Blanks};
    const DatePatterns others = {std::begin(otherPatterns), std::end(otherPatterns),
                                 FieldCursor::BlanksAndNoBreakSpace};
    return findSizeAndDate(text, from, classic, found) ||
           findSizeAndDate(text, from, others, found);
}

} // namespace

bool UnixDateFinder::find(QStringView text, qsizetype from, Found& found)
{
    return findUnixSizeAndDate(text, from, found);
}
