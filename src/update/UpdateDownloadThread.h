#pragma once

#include "update/DownloadLimits.h"
#include "update/ProgramFiles.h"
#include "update/ReleaseSignature.h"

#include <QString>
#include <QThread>

#include <atomic>

// One phase of an update on a thread of its own: the check fetches the version page into the
// program folder; the download fetches the new program beside the old one, checks it and puts
// it in place. The thread touches only files; its owner reads the outcome after finished().
// A new program must verify against the release key and then prove itself runnable here by
// saying the announced version; anything else is removed before it can take the program's name.
class UpdateDownloadThread : public QThread {
    Q_OBJECT
public:
    enum class Phase { Check, Download };
    struct Job {
        Phase phase = Phase::Check;
        QString url;
        ProgramFiles files;
        DownloadLimits limits;
        // The download phase's expectations, from the version page.
        QString expectedSha256; // empty: the page named none
        QString signature;
        QString version;
        ReleaseSignature releaseKey{QString()};
    };

    explicit UpdateDownloadThread(Job job, QObject* parent = nullptr);
    // Cancels a running download and waits for the thread.
    ~UpdateDownloadThread() override;

    void cancel() { cancelled_ = true; }
    const Job& job() const { return job_; }
    // Valid once finished() was emitted.
    bool succeeded() const { return succeeded_; }
    // Why it failed, in words for the user.
    QString errorText() const { return errorText_; }

protected:
    void run() override;

private:
    bool check();
    bool download();
    // Empty when the downloaded file may replace the program, else why not.
    QString refusal(const QString& file, const QByteArray& sha256Hex) const;
    bool fail(const QString& text);

    const Job job_;
    std::atomic<bool> cancelled_{false};
    bool succeeded_ = false;
    QString errorText_;
};
