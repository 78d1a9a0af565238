#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <sys/types.h>

// A program started by a test fixture. Standard input, output and error all go to a log file
// opened for appending (vsftpd, for one, reports start-up failures on descriptor 0). The
// process is stopped (SIGTERM, then SIGKILL after a grace period) and reaped on destruction.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start(const QString& program, const QStringList& arguments, const QString& logPath);
    bool isRunning();
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};
