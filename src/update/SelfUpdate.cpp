#include "update/SelfUpdate.h"

#include "platform/Prompt.h"
#include "update/VersionPage.h"

#include <QFile>

#include <utility>

namespace {
constexpr qint64 MaxPageBytes = 64 * 1024;
constexpr qint64 MaxProgramBytes = 256 * 1024 * 1024;
const QString PathFailed = QStringLiteral("获取路径失败");
const QString AddressFailed = QStringLiteral("获取更新地址失败");
const QString NoServer = QStringLiteral("未设置更新服务器");
const QString NoKey = QStringLiteral("此版本没有内置更新签名公钥，不能安装更新");
const QString UpToDate = QStringLiteral("已是最新版本");
const QString NoVersionNumber = QStringLiteral("版本页没有给出有效的版本号");
} // namespace

SelfUpdate::Limits SelfUpdate::defaultLimits()
{
    using std::chrono::minutes;
    using std::chrono::seconds;
    return Limits{DownloadLimits{MaxPageBytes, seconds(10), seconds(30), seconds(15)},
                  DownloadLimits{MaxProgramBytes, seconds(10), minutes(30), seconds(60)}};
}

SelfUpdate::SelfUpdate(Prompt& prompt, Context context, Limits limits)
    : prompt_(prompt), context_(std::move(context)), limits_(limits)
{
}

SelfUpdate::~SelfUpdate() = default;

void SelfUpdate::startAtStartup()
{
    if (context_.mode() != UpdateSettings::Never)
        startCheck(false);
}

void SelfUpdate::CheckForUpdates()
{
    startCheck(true);
}

// Only one phase runs at a time: both phases write into the same folder.
void SelfUpdate::startCheck(bool askedByUser)
{
    if (isBusy())
        return;
    if (context_.files.runningFile.isEmpty()) {
        prompt_.tell(PathFailed);
        return;
    }
    askedByUser_ = askedByUser;
    const QString page = UpdateSettings::versionPageAddress(
        UpdateSettings::server(context_.configPath(), context_.builtInServer));
    if (page.isEmpty())
        return answer(NoServer);
    if (!context_.releaseKey.hasKey())
        return answer(NoKey);
    UpdateDownloadThread::Job check;
    check.url = page;
    check.files = context_.files;
    check.limits = limits_.page;
    start(std::move(check));
}

void SelfUpdate::answer(const QString& text)
{
    if (askedByUser_)
        prompt_.tell(text);
}

void SelfUpdate::OnUpdateDownloaded(const UpdateDownloadThread::Job& job)
{
    if (context_.files.runningFile.isEmpty()) {
        prompt_.tell(PathFailed);
        return;
    }
    if (job.phase == UpdateDownloadThread::Phase::Download)
        prompt_.tell(QStringLiteral("更新成功，重启后生效"));
    else
        weighVersionPage();
}

void SelfUpdate::weighVersionPage()
{
    const VersionPage page = VersionPage::read(context_.files.versionPage());
    QFile::remove(context_.files.versionPage());
    if (!page.hasVersionNumber())
        return answer(NoVersionNumber);
    if (!page.isNewer())
        return answer(UpToDate);
    if (context_.mode() == UpdateSettings::Notify &&
        !prompt_.confirm(QStringLiteral("检测到新版本 VER：") + page.version +
                             QStringLiteral("是否更新"),
                         QStringLiteral("更新")))
        return;
    if (page.url.isEmpty()) {
        prompt_.tell(AddressFailed);
        return;
    }
    start({UpdateDownloadThread::Phase::Download, page.url, context_.files, limits_.program,
           page.sha256, page.signature, page.version, context_.releaseKey});
}

void SelfUpdate::start(UpdateDownloadThread::Job job)
{
    worker_ = std::make_unique<UpdateDownloadThread>(std::move(job));
    connect(worker_.get(), &QThread::finished, this, &SelfUpdate::workerEnded,
            Qt::QueuedConnection);
    worker_->start();
}

void SelfUpdate::workerEnded()
{
    const std::unique_ptr<UpdateDownloadThread> ended = std::move(worker_);
    ended->wait();
    weighing_ = true;
    if (ended->succeeded())
        OnUpdateDownloaded(ended->job());
    else
        reportFailure(*ended);
    weighing_ = false;
    if (!isBusy())
        Q_EMIT idle();
}

void SelfUpdate::reportFailure(const UpdateDownloadThread& ended)
{
    if (ended.job().phase == UpdateDownloadThread::Phase::Download)
        prompt_.tell(ended.errorText());
    else
        answer(ended.errorText());
}
