#pragma once

#include "platform/Prompt.h"
#include "view/gui/CftpView.h"
#include "view/gui/SessionController.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <functional>

// What the benchmarks that drive the real window's queue share: a prompt that agrees to every
// question, an event loop run until something holds, and an anonymous session as a user opens it.

class SilentPrompt : public Prompt {
public:
    PromptAnswer ask(const QString&, const QString&, PromptButtons) override
    {
        return PromptAnswer::Yes;
    }
};

// Runs the event loop until the condition holds or the time is up.
inline bool runUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs = 50)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    check.start(pollMs);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

inline bool connectAnonymously(CftpView& view, SessionController& sessions, const QString& host,
                               int port, int timeoutMs)
{
    view.setHost(host);
    view.setPort(port);
    view.setUser(QStringLiteral("anonymous"));
    view.setPassword(QStringLiteral("guest"));
    sessions.OnConnect();
    if (runUntil([&] { return sessions.isConnected(); }, timeoutMs))
        return true;
    std::fprintf(stderr, "cannot connect to %s:%d\n", qPrintable(host), port);
    return false;
}
