#pragma once

#include "platform/Prompt.h"

#include <QPointer>
#include <QWidget>

// Shows each question as a modal QMessageBox on the GUI thread. A worker thread that asks is
// blocked until the user answers; the GUI thread must therefore never wait for a thread that
// may be asking. A question without a caption of its own gets the application's display name.
class MessageBoxPrompt : public Prompt {
public:
    explicit MessageBoxPrompt(QWidget* parentWindow = nullptr);

    PromptAnswer ask(const QString& text, const QString& caption, PromptButtons buttons) override;

private:
    QPointer<QWidget> parentWindow_;
};
