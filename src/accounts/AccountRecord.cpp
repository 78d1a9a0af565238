#include "accounts/AccountRecord.h"

#include "accounts/StoredFile.h"

#include <climits>

int AccountRecord::portFromText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    const bool negative = i < text.size() && text.at(i) == u'-';
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        ++i;
    long long value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        // Saturate instead of overflowing on absurdly long digit runs.
        if (value <= INT_MAX)
            value = value * 10 + (text.at(i).unicode() - u'0');
    }
    const long long clamped = value > INT_MAX ? INT_MAX : value;
    return static_cast<int>(negative ? -clamped : clamped);
}

bool AccountRecord::hasUnstorableText() const
{
    for (const QString* field : {&server, &port, &user, &password}) {
        if (StoredFile::isUnstorable(*field))
            return true;
    }
    return false;
}
