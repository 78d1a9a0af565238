#pragma once

#include "platform/Prompt.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <mutex>

// A Prompt for tests: records every question and answers from a script (Ok to a notice, No to a
// certificate question and Yes to any other question when the script has run out, so an
// unexpected question shows up in asked() rather than hanging a test).
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
            return unscripted(buttons);
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    // Secrets come from their own script; nothing (a cancel) when it has run out.
    std::optional<QString> askSecret(const QString& text, const QString&) override
    {
        std::lock_guard<std::mutex> hold(mutex_);
        secretQuestions_ << text;
        if (secrets_.empty())
            return std::nullopt;
        const QString secret = secrets_.front();
        secrets_.pop_front();
        return secret;
    }

    void answerSecret(const QString& secret)
    {
        std::lock_guard<std::mutex> hold(mutex_);
        secrets_.push_back(secret);
    }

    QStringList secretQuestions() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return secretQuestions_;
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
    static PromptAnswer unscripted(PromptButtons buttons)
    {
        switch (buttons) {
        case PromptButtons::Ok:
            return PromptAnswer::Ok;
        case PromptButtons::TrustChoice:
            return PromptAnswer::No;
        case PromptButtons::YesNo:
            break;
        }
        return PromptAnswer::Yes;
    }

    mutable std::mutex mutex_; // guards answers_, asked_, secrets_ and secretQuestions_
    std::deque<PromptAnswer> answers_;
    std::vector<Question> asked_;
    std::deque<QString> secrets_;
    QStringList secretQuestions_;
};
