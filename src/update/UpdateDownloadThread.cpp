#include "update/UpdateDownloadThread.h"

#include "update/ExecutableReplacement.h"
#include "update/HttpFileDownload.h"

#include <QFile>

#include <utility>

UpdateDownloadThread::UpdateDownloadThread(Job job, QObject* parent)
    : QThread(parent), job_(std::move(job))
{
}

UpdateDownloadThread::~UpdateDownloadThread()
{
    cancel();
    wait();
}

void UpdateDownloadThread::run()
{
    succeeded_ = job_.phase == Phase::Check ? check() : download();
}

bool UpdateDownloadThread::check()
{
    HttpFileDownload http(cancelled_);
    const bool fetched = http.fetch(job_.url, job_.files.versionPage(), job_.limits);
    errorText_ = http.errorText();
    return fetched;
}

bool UpdateDownloadThread::download()
{
    const QString target = job_.files.download();
    HttpFileDownload http(cancelled_);
    if (!http.fetch(job_.url, target, job_.limits)) {
        errorText_ = http.errorText();
        return false;
    }
    const QString expected = job_.expectedSha256.trimmed().toLower();
    if (!expected.isEmpty() && expected != QString::fromLatin1(http.sha256Hex())) {
        errorText_ = QStringLiteral("SHA256 differs from the version page");
        QFile::remove(target);
        return false;
    }
    if (!ExecutableReplacement::install(target, job_.files)) {
        errorText_ = QStringLiteral("cannot replace %1").arg(job_.files.executable());
        return false;
    }
    return true;
}
