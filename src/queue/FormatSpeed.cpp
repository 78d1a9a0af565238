#include "queue/FormatSpeed.h"

QString FormatSpeed(double bytesPerSecond)
{
    constexpr double kib = 1024.0;
    constexpr double mib = 1024.0 * 1024.0;
    double value = bytesPerSecond;
    QLatin1String unit("b/s");
    if (bytesPerSecond > mib) {
        value = bytesPerSecond / mib;
        unit = QLatin1String("mb/s");
    } else if (bytesPerSecond > kib) {
        value = bytesPerSecond / kib;
        unit = QLatin1String("kb/s");
    }
    if (value < 0 || value > kib)
        return {};
    return QString::asprintf("%.2f", value) + unit;
}
