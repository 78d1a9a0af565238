#pragma once

#include <QObject>

// Widens every message box of the application, as it is shown, so that its caption shows whole
// in the title bar: a message box sizes itself to its text, and a short text ("尚未连接") made
// the window manager cut the caption.
class MessageBoxCaptionFit : public QObject {
    Q_OBJECT
public:
    // Watches the whole application from now on; once per application.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
