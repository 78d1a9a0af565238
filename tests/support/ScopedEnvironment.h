#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <utility>

// Sets environment variables for the life of one test and puts the old values back after it,
// so tests that steer QStandardPaths (HOME, XDG_*) leave the process as they found it.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    ~ScopedEnvironment()
    {
        for (auto it = saved_.crbegin(); it != saved_.crend(); ++it) {
            if (it->wasSet)
                qputenv(it->name.constData(), it->value);
            else
                qunsetenv(it->name.constData());
        }
    }

    void set(const char* name, const QByteArray& value)
    {
        remember(name);
        qputenv(name, value);
    }

    void unset(const char* name)
    {
        remember(name);
        qunsetenv(name);
    }

private:
    struct Saved {
        QByteArray name;
        bool wasSet;
        QByteArray value;
    };

    void remember(const char* name)
    {
        saved_.append(Saved{name, qEnvironmentVariableIsSet(name), qgetenv(name)});
    }

    QList<Saved> saved_;
};
