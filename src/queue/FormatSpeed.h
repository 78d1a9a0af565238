#pragma once

#include <QString>

// The speed text of the queue: two decimals and "b/s", "kb/s" or "mb/s" without a space
// ("512.00b/s", "1.50kb/s"). Negative speeds and speeds above 1024 mb/s give an empty text,
// which leaves the speed column as it was.
QString FormatSpeed(double bytesPerSecond);
