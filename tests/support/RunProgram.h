#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// A program run to its end by a test that checks what it printed or left behind.
struct ProgramRun {
    int exitCode = -1; // also when it crashed or did not end in time
    QByteArray output;
    QByteArray errors;
};

inline ProgramRun runProgram(const QString& program, const QStringList& arguments,
                             int timeoutMs = 30000)
{
    QProcess process;
    process.start(program, arguments);
    ProgramRun run;
    if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}
