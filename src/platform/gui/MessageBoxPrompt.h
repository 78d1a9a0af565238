#pragma once

#include "platform/Prompt.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <memory>

// Shows each question as a modal QMessageBox on the GUI thread. A worker thread that asks is
// blocked until the user answers. Once the application's event loop has ended nobody can
// answer any more: a waiting or later question from a worker then gets No (or Ok), so that the
// GUI thread may wait for its workers at shutdown. A question without a caption of its own gets
// the application's display name.
class MessageBoxPrompt : public Prompt {
public:
    explicit MessageBoxPrompt(QWidget* parentWindow = nullptr);

    PromptAnswer ask(const QString& text, const QString& caption, PromptButtons buttons) override;
    std::optional<QString> askSecret(const QString& text, const QString& caption) override;

private:
    template <typename Answer, typename Show> Answer askFromWorker(Show show, Answer unanswered);

    QPointer<QWidget> parentWindow_;
    std::shared_ptr<std::atomic<bool>> eventLoopEnded_;
};
