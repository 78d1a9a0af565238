#include "app/gui/CftpApp.h"

#include "accounts/gui/AccountController.h"
#include "app/InitialGeometry.h"
#include "app/QtChineseTexts.h"
#include "app/gui/ApplicationIcon.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/MessageBoxCaptionFit.h"
#include "app/gui/WorkPathCommand.h"
#include "archive/gui/CompressAndUpload.h"
#include "archive/gui/RemoteArchiveCommands.h"
#include "config/Configuration.h"
#include "platform/Prompt.h"
#include "queue/gui/QueueCommands.h"
#include "queue/gui/QueueFeatures.h"
#include "session/SessionThread.h"
#include "update/gui/UpdateCommands.h"
#include "view/gui/CftpView.h"
#include "view/gui/SessionController.h"
#include "view/gui/ViewFeatures.h"

#include <QApplication>
#include <QScreen>

#include <utility>

CftpApp::CftpApp(Prompt& prompt, QString documentsFolder)
    : prompt_(prompt), documentsFolder_(std::move(documentsFolder))
{
}

// The features give the view's lists their icons: the window goes out of sight first, so no
// layout pass asks a feature that is already gone.
CftpApp::~CftpApp()
{
    if (frame_)
        frame_->hide();
}

void CftpApp::InitInstance()
{
    QCoreApplication::setOrganizationName(QStringLiteral("KEVRA"));
    QCoreApplication::setApplicationName(QStringLiteral("KEVRA"));
    QApplication::setWindowIcon(applicationIcon());
    QtChineseTexts::install(*QCoreApplication::instance());
    MessageBoxCaptionFit::install();
    const Configuration config = LoadConfiguration(documentsFolder_);
    if (config.documentsFolderMissing)
        prompt_.tell(QStringLiteral("获取路径失败"));
    frame_ = std::make_unique<CMainFrame>();
    features_ = std::make_unique<ViewFeatures>(*frame_->view(), prompt_, config.workFolder);
    accounts_ =
        std::make_unique<AccountController>(*frame_->view(), features_->sessions(), prompt_);
    workPath_ = std::make_unique<WorkPathCommand>(*frame_->view(),
                                                  features_->sessions().engineLock(), prompt_);
    workPath_->setMovedHandler([this] { features_->sessions().followWorkPath(); });
    queue_ = std::make_unique<QueueFeatures>(*frame_->view(), prompt_, config.workFolder,
                                             features_->sessions(), features_->localPane());
    attachArchiveCommands();
    update_ = std::make_unique<UpdateCommands>(*frame_->view(), prompt_);
    frame_->view()->addStartupStep(&CftpView::StartupHooks::startWorkers,
                                   [this] { update_->startAtStartup(); });
    frame_->view()->initialUpdate(config);
    frame_->setWindowTitle(QStringLiteral("KEVRA"));
    frame_->setGeometry(initialWindowGeometry(frame_->screen()->availableGeometry()));
    frame_->showMaximized();
}

void CftpApp::attachArchiveCommands()
{
    SessionController& sessions = features_->sessions();
    QueueCommands& queueCommands = queue_->commands();
    compress_ = std::make_unique<CompressAndUpload>(
        *frame_->view(), features_->localPane(), prompt_,
        CompressAndUpload::Sources{[&sessions] { return sessions.isConnected(); },
                                   [&sessions] { return sessions.remote().currentFolder(); },
                                   [&queueCommands](const QString& local, const QString& remote,
                                                    const QString& size, const QString& address) {
                                       queueCommands.AddUploadFromPath(local, remote, size,
                                                                       address);
                                   },
                                   [&sessions] { return sessions.currentAddress(); }});
    remoteArchive_ =
        std::make_unique<RemoteArchiveCommands>(*frame_->view(), sessions, [&sessions] {
            const SessionThread* session = sessions.currentSession();
            return session ? session->serverKind() : 0;
        });
}
