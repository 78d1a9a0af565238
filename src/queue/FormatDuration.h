#pragma once

#include <QString>

// Elapsed and remaining time as hours:minutes:seconds, two digits each ("01:02:05"). Negative
// values show "00:00:00"; more than 99 hours shows "99:99:99".
QString FormatDuration(int seconds);
