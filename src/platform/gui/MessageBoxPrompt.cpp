#include "platform/gui/MessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {

PromptAnswer showBox(QWidget* parent, const QString& text, const QString& caption,
                     PromptButtons buttons)
{
    const bool yesNo = buttons == PromptButtons::YesNo;
    QMessageBox box(yesNo ? QMessageBox::Question : QMessageBox::NoIcon,
                    caption.isEmpty() ? QApplication::applicationDisplayName() : caption, text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    const int result = box.exec();
    if (!yesNo)
        return PromptAnswer::Ok;
    return result == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

} // namespace

MessageBoxPrompt::MessageBoxPrompt(QWidget* parentWindow) : parentWindow_(parentWindow) {}

PromptAnswer MessageBoxPrompt::ask(const QString& text, const QString& caption,
                                   PromptButtons buttons)
{
    QApplication* application = qApp;
    if (QThread::currentThread() == application->thread())
        return showBox(parentWindow_, text, caption, buttons);
    // The call runs on the GUI thread while this thread waits; it touches only copies, so the
    // prompt object may go away while a question is pending.
    PromptAnswer answer = PromptAnswer::No;
    const QPointer<QWidget> parent = parentWindow_;
    QMetaObject::invokeMethod(
        application,
        [&answer, parent, text, caption, buttons] {
            answer = showBox(parent, text, caption, buttons);
        },
        Qt::BlockingQueuedConnection);
    return answer;
}
