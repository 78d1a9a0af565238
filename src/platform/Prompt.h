#pragma once

#include <QString>

#include <optional>

// TrustChoice offers "trust always" (TrustAlways), "this time" (TrustOnce) and "refuse" (No).
enum class PromptButtons { Ok, YesNo, TrustChoice };
enum class PromptAnswer { Ok, Yes, No, TrustAlways, TrustOnce };

// Every question or notice for the user goes through this interface. The GUI shows a message
// box on its own thread (blocking the asking thread until answered); tests script the answers.
class Prompt {
public:
    virtual ~Prompt() = default;
    virtual PromptAnswer ask(const QString& text, const QString& caption,
                             PromptButtons buttons) = 0;
    // A hidden text such as a key's passphrase; nothing when the user cancels. Without a way
    // to ask, the answer is nothing.
    virtual std::optional<QString> askSecret(const QString& /*text*/, const QString& /*caption*/)
    {
        return std::nullopt;
    }

    void tell(const QString& text, const QString& caption = QString())
    {
        ask(text, caption, PromptButtons::Ok);
    }
    bool confirm(const QString& text, const QString& caption)
    {
        return ask(text, caption, PromptButtons::YesNo) == PromptAnswer::Yes;
    }
};
