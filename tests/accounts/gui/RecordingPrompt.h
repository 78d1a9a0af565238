#pragma once

#include "platform/Prompt.h"

#include <QList>
#include <QStringList>

// Answers every question at once (Ok, or the scripted answer to a yes/no question) and keeps
// what was asked, so tests can check the messages, their captions and their order.
class RecordingPrompt : public Prompt {
public:
    struct Call {
        QString text;
        QString caption;
        PromptButtons buttons;
    };

    PromptAnswer ask(const QString& text, const QString& caption, PromptButtons buttons) override
    {
        calls.append({text, caption, buttons});
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : yesNoAnswer;
    }

    QStringList texts() const
    {
        QStringList result;
        for (const Call& call : calls)
            result.append(call.text);
        return result;
    }

    QList<Call> calls;
    PromptAnswer yesNoAnswer = PromptAnswer::No;
};
