#pragma once

#include "listing/FieldCursor.h"

#include <QStringView>
#include <QtGlobal>

// Finds the size and the date in an ls-style line, whatever the locale printed: the classic
// month-first order first, so that every line ls prints in the C locale reads as it always
// has, then the other orders (numeric, day first, localized months, a year and a time).
class UnixDateFinder {
public:
    // The size, date and where the name starts.
    struct Found {
        quint64 bytes = 0;
        Field dateBegin;
        Field dateEnd;
        bool padded = false;
    };

    // Looks from the field that starts at or after from.
    static bool find(QStringView text, qsizetype from, Found& found);
};
