#include "platform/gui/MessageBoxPrompt.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

QString captionOrName(const QString& caption)
{
    return caption.isEmpty() ? QApplication::applicationDisplayName() : caption;
}

// Escape, closing the box and Enter all refuse: trusting a certificate takes a deliberate click.
PromptAnswer showTrustChoice(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Warning, captionOrName(caption), text, QMessageBox::NoButton,
                    parent);
    const QAbstractButton* always =
        box.addButton(QStringLiteral("总是信任"), QMessageBox::AcceptRole);
    const QAbstractButton* once =
        box.addButton(QStringLiteral("仅此一次"), QMessageBox::AcceptRole);
    QPushButton* refuse = box.addButton(QStringLiteral("拒绝"), QMessageBox::RejectRole);
    box.setDefaultButton(refuse);
    box.setEscapeButton(refuse);
    box.exec();
    if (box.clickedButton() == always)
        return PromptAnswer::TrustAlways;
    return box.clickedButton() == once ? PromptAnswer::TrustOnce : PromptAnswer::No;
}

PromptAnswer showBox(QWidget* parent, const QString& text, const QString& caption,
                     PromptButtons buttons)
{
    if (buttons == PromptButtons::TrustChoice)
        return showTrustChoice(parent, text, caption);
    const bool yesNo = buttons == PromptButtons::YesNo;
    QMessageBox box(yesNo ? QMessageBox::Question : QMessageBox::NoIcon, captionOrName(caption),
                    text, yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    const int result = box.exec();
    if (!yesNo)
        return PromptAnswer::Ok;
    return result == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

PromptAnswer unanswered(PromptButtons buttons)
{
    return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
}

std::optional<QString> showSecretInput(QWidget* parent, const QString& text, const QString& caption)
{
    bool accepted = false;
    const QString answer = QInputDialog::getText(parent, captionOrName(caption), text,
                                                 QLineEdit::Password, QString(), &accepted);
    return accepted ? std::optional<QString>(answer) : std::nullopt;
}

// The answer a worker waits for; shared with the queued call, which may outlive the wait.
template <typename Answer> struct PendingAnswer {
    std::mutex mutex; // guards answer
    std::condition_variable ready;
    std::optional<Answer> answer;
};

} // namespace

MessageBoxPrompt::MessageBoxPrompt(QWidget* parentWindow)
    : parentWindow_(parentWindow), eventLoopEnded_(std::make_shared<std::atomic<bool>>(false))
{
    QObject::connect(qApp, &QCoreApplication::aboutToQuit,
                     [ended = eventLoopEnded_] { *ended = true; });
}

// The box is shown by a queued call on the GUI thread; it touches only copies, so the prompt
// object may go away while a question is pending.
template <typename Answer, typename Show>
Answer MessageBoxPrompt::askFromWorker(Show show, Answer unansweredValue)
{
    auto pending = std::make_shared<PendingAnswer<Answer>>();
    QMetaObject::invokeMethod(
        qApp,
        [pending, show, unansweredValue, ended = eventLoopEnded_] {
            const Answer answer = *ended ? unansweredValue : show();
            std::lock_guard<std::mutex> hold(pending->mutex);
            pending->answer = answer;
            pending->ready.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> hold(pending->mutex);
    while (!pending->answer) {
        if (*eventLoopEnded_)
            return unansweredValue;
        pending->ready.wait_for(hold, std::chrono::milliseconds(100));
    }
    return *pending->answer;
}

PromptAnswer MessageBoxPrompt::ask(const QString& text, const QString& caption,
                                   PromptButtons buttons)
{
    const QPointer<QWidget> parent = parentWindow_;
    auto show = [parent, text, caption, buttons] {
        return showBox(parent, text, caption, buttons);
    };
    if (QThread::currentThread() == qApp->thread())
        return show();
    return askFromWorker(show, unanswered(buttons));
}

std::optional<QString> MessageBoxPrompt::askSecret(const QString& text, const QString& caption)
{
    const QPointer<QWidget> parent = parentWindow_;
    auto show = [parent, text, caption] { return showSecretInput(parent, text, caption); };
    if (QThread::currentThread() == qApp->thread())
        return show();
    return askFromWorker<std::optional<QString>>(show, std::nullopt);
}
