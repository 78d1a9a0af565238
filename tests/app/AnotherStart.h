#pragma once

#include "app/SingleInstance.h"

#include <QCoreApplication>

#include <chrono>
#include <future>

// A later start of the program handing its request to the instance listening on socketPath.
// The running instance answers on this thread's event loop, so the later start knocks from
// another thread, as it would from another process.
inline bool handOverFromAnotherStart(const QString& socketPath, const QString& request)
{
    using std::chrono::milliseconds;
    SingleInstance later(socketPath);
    auto answer =
        std::async(std::launch::async, [&] { return later.handOver(request, milliseconds(5000)); });
    while (answer.wait_for(milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return answer.get();
}
