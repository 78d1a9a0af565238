#include "listing/FormatSize.h"

namespace {
constexpr double kib = 1024.0;
constexpr double mib = 1024.0 * 1024.0;
constexpr double gib = 1024.0 * 1024.0 * 1024.0;
} // namespace

QString FormatSize(quint64 bytes)
{
    const double value = static_cast<double>(bytes);
    if (value >= gib)
        return QString::asprintf("%.2f", value / gib) + QLatin1String("GB");
    if (value >= mib)
        return QString::asprintf("%.2f", value / mib) + QLatin1String("MB");
    if (value >= kib)
        return QString::asprintf("%.2f", value / kib) + QLatin1String("KB");
    return QString::asprintf("%.0f", value);
}
