#pragma once

#include "listing/FieldCursor.h"

#include <QStringView>
#include <QtGlobal>

// The small readings both layouts of a listing line share: blanks, digits, byte counts, clock
// times and date separators.
namespace ListingText {

constexpr qsizetype maxCountDigits = 20;

bool isBlank(QChar c);
bool isDigit(QChar c);
QStringView textOf(QStringView line, const Field& field);
bool isDigits(QStringView text, qsizetype minLength, qsizetype maxLength);
// A byte count of at most 20 digits that fits in 64 bits.
bool readCount(QStringView text, quint64& value);
// A field's suffix of one character, taken off when present.
bool dropSuffix(QStringView& text, QStringView suffixes);
// "9:05", "14:22" or "14:22:07".
bool isClockTime(QStringView text);
bool isDateSeparator(QChar c);

} // namespace ListingText
