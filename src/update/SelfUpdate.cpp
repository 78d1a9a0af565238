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
    const QString page = UpdateSettings::versionPageAddress(
        UpdateSettings::server(context_.configPath(), context_.builtInServer));
    if (page.isEmpty()) {
        if (askedByUser)
            prompt_.tell(AddressFailed);
        return;
    }
    start({UpdateDownloadThread::Phase::Check, page, context_.files, QString(), limits_.page});
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
    if (!page.isNewer())
        return;
    if (context_.mode() == UpdateSettings::Notify &&
        !prompt_.confirm(QStringLiteral("检测到新版本 VER：") + page.version +
                             QStringLiteral("是否更新"),
                         QStringLiteral("更新")))
        return;
    if (page.url.isEmpty()) {
        prompt_.tell(AddressFailed);
        return;
    }
    start({UpdateDownloadThread::Phase::Download, page.url, context_.files, page.sha256,
           limits_.program});
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
    if (ended->succeeded()) {
        weighing_ = true;
        OnUpdateDownloaded(ended->job());
        weighing_ = false;
    }
    if (!isBusy())
        Q_EMIT idle();
}
