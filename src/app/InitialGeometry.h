#pragma once

#include <QRect>

// Where the main window goes when nothing maximises it (an X server without a window
// manager, or the user leaving the maximised state): most of the available area, centred,
// never smaller than the view needs unless the screen itself is smaller.
QRect initialWindowGeometry(const QRect& available);
