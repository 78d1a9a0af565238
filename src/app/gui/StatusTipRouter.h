#pragma once

#include <QObject>
#include <QPointer>

class QMainWindow;

// A context menu is a window of its own, and a window keeps the status tips of its items to
// itself. This sends them on to the main window, whose status bar shows the prompt of the item
// under the pointer in every menu, not only in the menu bar's.
class StatusTipRouter : public QObject {
    Q_OBJECT
public:
    // Watches the whole application for as long as the frame lives.
    explicit StatusTipRouter(QMainWindow& frame);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QMainWindow> frame_;
};
