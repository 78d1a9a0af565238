#include "queue/FormatDuration.h"

QString FormatDuration(int seconds)
{
    constexpr int maximum = 99 * 3600;
    if (seconds < 0)
        return QStringLiteral("00:00:00");
    if (seconds > maximum)
        return QStringLiteral("99:99:99");
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}
