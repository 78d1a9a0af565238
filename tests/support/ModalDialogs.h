#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>
#include <memory>

// Acts on the next modal dialog of type Dialog as soon as it is shown, polling the event loop
// for about two seconds at most. A dialog the action leaves open is then rejected, so a failing
// test comes back from exec() instead of hanging.
template <class Dialog> void OnNextModal(std::function<void(Dialog&)> act)
{
    auto* timer = new QTimer;
    auto attempts = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, attempts, act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr && ++*attempts < 400)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog == nullptr)
            return;
        act(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    timer->start(5);
}
