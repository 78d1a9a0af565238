#include "app/InitialGeometry.h"

#include <QtGlobal>

namespace {

constexpr int ShareOfScreenPercent = 85;
constexpr int MinimumWidth = 1024;
constexpr int MinimumHeight = 700;

int sideLength(int available, int minimum)
{
    return qMin(available, qMax(minimum, available * ShareOfScreenPercent / 100));
}

} // namespace

QRect initialWindowGeometry(const QRect& available)
{
    QRect window(0, 0, sideLength(available.width(), MinimumWidth),
                 sideLength(available.height(), MinimumHeight));
    window.moveCenter(available.center());
    return window;
}
