#pragma once

#include <QString>
#include <QtGlobal>

// The size text of both file panes: two decimals with "GB", "MB" or "KB" from 1024 bytes on,
// a plain byte count below ("1023", "1.00KB", "1.50MB", "5.00GB").
QString FormatSize(quint64 bytes);
