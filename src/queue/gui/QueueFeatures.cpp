#include "queue/gui/QueueFeatures.h"

#include "config/Configuration.h"
#include "queue/FolderTransfer.h"
#include "queue/gui/SpeedLimitDialog.h"
#include "queue/gui/TransferController.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/SessionController.h"

#include <QPointer>

namespace {

// A refused path is shown with its line breaks and NULs spelled out, so the log line stays one.
QString visible(QString path)
{
    return path.replace(u'\r', QLatin1String("\\r"))
        .replace(u'\n', QLatin1String("\\n"))
        .replace(QChar(0), QLatin1String("\\0"));
}

} // namespace

QueueFeatures::QueueFeatures(CftpView& view, Prompt& prompt, const QString& workFolder,
                             SessionController& sessions, LocalPaneController& localPane)
    : view_(view), rowLock_(QStringLiteral("mutex2"), workFolder), model_(queue_),
      store_(view, queue_, sessions.engineLock()),
      commands_({view, prompt, queue_, model_, store_, stopAll_, sessions, localPane}),
      speedLimits_(std::make_shared<SpeedLimits>()),
      speedMeter_(
          queue_,
          [&view](const QString& text) {
              QMetaObject::invokeMethod(
                  &view, [&view, text] { view.setRateText(text); }, Qt::QueuedConnection);
          },
          speedLimits_.get())
{
    view.commands().setHandler(CommandId::SpeedLimitSettings, [this] { OnSpeedLimitSettings(); });
    view.setQueueModel(&model_);
    // The view outlives these features: a drop after they are gone queues nothing.
    view.remoteList()->setDropUploader(
        [commands = QPointer<QueueCommands>(&commands_)](
            const QString& localPath, const QString& remoteTarget, const QString& size) {
            if (commands)
                commands->AddUploadFromPath(localPath, remoteTarget, size);
        });
    reportRefusals(view);
    attachTransfers(view, prompt, sessions, localPane);
    addStartupSteps(view);
}

QueueFeatures::~QueueFeatures() = default;

void QueueFeatures::attachTransfers(CftpView& view, Prompt& prompt, SessionController& sessions,
                                    LocalPaneController& localPane)
{
    transfers_ = std::make_unique<TransferController>(view, prompt, sessions, localPane, queue_,
                                                      slots_, stopAll_, store_);
    transfers_->setFolderMover(&FolderTransfer::MoveJob);
    transfers_->setSpeedLimits(speedLimits_);
}

void QueueFeatures::OnSpeedLimitSettings()
{
    SpeedLimitDialog dialog(
        view_.configuration().configPath,
        [this](int downloadLimit, int uploadLimit) {
            speedLimits_->apply(downloadLimit, uploadLimit);
        },
        &view_);
    dialog.exec();
}

void QueueFeatures::reportRefusals(CftpView& view)
{
    QObject::connect(&queue_, &TransferQueue::entryRefused, &view, [&view](const QString& source) {
        view.AppendLog(QStringLiteral("路径含有回车、换行或空字符，不能加入队列：") +
                       visible(source) + QStringLiteral("\r\n"));
    });
}

void QueueFeatures::addStartupSteps(CftpView& view)
{
    view.addStartupStep(&CftpView::StartupHooks::loadQueue, [this] { store_.LoadQueue(); });
    view.addStartupStep(&CftpView::StartupHooks::startWorkers, [this, &view] {
        const TransferSettings settings = ReadTransferSettings(view.configuration().configPath);
        speedLimits_->apply(settings.downloadLimit, settings.uploadLimit);
        speedMeter_.start();
        transfers_->start();
    });
}
