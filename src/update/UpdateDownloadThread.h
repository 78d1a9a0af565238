#pragma once

#include "update/DownloadLimits.h"
#include "update/ProgramFiles.h"

#include <QString>
#include <QThread>

#include <atomic>

// One phase of an update on a thread of its own: the check fetches the version page into the
// program folder; the download fetches the new program beside the old one, checks it and puts
// it in place. The thread touches only files; its owner reads the outcome after finished().
class UpdateDownloadThread : public QThread {
    Q_OBJECT
public:
    enum class Phase { Check, Download };
    struct Job {
        Phase phase = Phase::Check;
        QString url;
        ProgramFiles files;
        QString expectedSha256; // download phase; empty: the page named none
        DownloadLimits limits;
    };

    explicit UpdateDownloadThread(Job job, QObject* parent = nullptr);
    // Cancels a running download and waits for the thread.
    ~UpdateDownloadThread() override;

    void cancel() { cancelled_ = true; }
    const Job& job() const { return job_; }
    // Valid once finished() was emitted.
    bool succeeded() const { return succeeded_; }
    QString errorText() const { return errorText_; }

protected:
    void run() override;

private:
    bool check();
    bool download();

    const Job job_;
    std::atomic<bool> cancelled_{false};
    bool succeeded_ = false;
    QString errorText_;
};
