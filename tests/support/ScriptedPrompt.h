#pragma once

#include "platform/Prompt.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <mutex>

// A Prompt for tests: records every question and answers from a script (Yes/Ok when the script
// has run out, so an unexpected question shows up in asked() rather than hanging a test).
class ScriptedPrompt : public Prompt {
public:
    struct Question {
        QString text;
        QString caption;
        PromptButtons buttons;
    };

    explicit ScriptedPrompt(std::deque<PromptAnswer> answers = {}) : answers_(std::move(answers)) {}

    PromptAnswer ask(const QString& text, const QString& caption, PromptButtons buttons) override
    {
        std::lock_guard<std::mutex> hold(mutex_);
        asked_.push_back(Question{text, caption, buttons});
        if (answers_.empty())
            return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Yes;
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    void answerNext(PromptAnswer answer)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        answers_.push_back(answer);
    }

    QStringList texts() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        QStringList result;
        for (const Question& q : asked_)
            result << q.text;
        return result;
    }

    std::vector<Question> asked() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return asked_;
    }

private:
    mutable std::mutex mutex_; // guards answers_ and asked_
    std::deque<PromptAnswer> answers_;
    std::vector<Question> asked_;
};
