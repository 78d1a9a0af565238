#include "update/UpdateDownloadThread.h"

#include "update/ExecutableReplacement.h"
#include "update/HttpFileDownload.h"
#include "update/ProgramCheck.h"

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
    return http.fetch(job_.url, job_.files.versionPage(), job_.limits) ||
           fail(QStringLiteral("检查更新失败：") + http.errorText());
}

bool UpdateDownloadThread::download()
{
    const QString target = job_.files.download();
    HttpFileDownload http(cancelled_);
    if (!http.fetch(job_.url, target, job_.limits))
        return fail(QStringLiteral("下载新版本失败：") + http.errorText());
    const QString refused = refusal(target, http.sha256Hex());
    if (!refused.isEmpty()) {
        QFile::remove(target);
        return fail(refused + QStringLiteral("，未安装"));
    }
    return ExecutableReplacement::install(target, job_.files) ||
           fail(QStringLiteral("无法替换程序文件 ") + job_.files.executable());
}

QString UpdateDownloadThread::refusal(const QString& file, const QByteArray& sha256Hex) const
{
    const QString expected = job_.expectedSha256.trimmed().toLower();
    if (!expected.isEmpty() && expected != QString::fromLatin1(sha256Hex))
        return QStringLiteral("新版本的 SHA256 与版本页不符");
    if (job_.signature.isEmpty())
        return QStringLiteral("新版本没有签名");
    if (!job_.releaseKey.verifies(file, job_.signature))
        return QStringLiteral("新版本的签名无效");
    if (!ProgramCheck::isExecutableForThisMachine(file) ||
        !ExecutableReplacement::makeRunnable(file))
        return QStringLiteral("新版本不是本机可运行的程序");
    if (!ProgramCheck::answersVersion(file, job_.version))
        return QStringLiteral("新版本报告的版本与版本页不符");
    return QString();
}

bool UpdateDownloadThread::fail(const QString& text)
{
    errorText_ = text;
    return false;
}
