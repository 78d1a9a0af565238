#pragma once

#include "queue/QueueEntry.h"

// Row number n of the benchmark queues: Chinese folder names, so the GBK conversion has work,
// downloads and uploads alternating, every row paused.
inline QueueEntry entryNumber(int number)
{
    const QString name = QStringLiteral("file-%1.dat").arg(number, 6, 10, QLatin1Char('0'));
    QueueEntry entry;
    entry.source = QStringLiteral("/pub/数据/") + name;
    entry.target = QStringLiteral("/home/user/下载/") + name;
    entry.address = QStringLiteral("127.0.0.1");
    entry.size = QStringLiteral("1.50MB");
    entry.action = number % 2 == 0 ? QStringLiteral("Down") : QStringLiteral("UP");
    entry.state = QStringLiteral("暂停");
    return entry;
}
