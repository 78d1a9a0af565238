#include "app/gui/CftpApp.h"

#include "app/Configuration.h"
#include "app/QtChineseTexts.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/MessageBoxCaptionFit.h"
#include "app/gui/WorkPathCommand.h"
#include "platform/Prompt.h"
#include "update/gui/UpdateCommands.h"
#include "view/gui/CftpView.h"
#include "view/gui/SessionController.h"
#include "view/gui/ViewFeatures.h"

#include <QCoreApplication>

#include <utility>

CftpApp::CftpApp(Prompt& prompt, QString documentsFolder)
    : prompt_(prompt), documentsFolder_(std::move(documentsFolder))
{
}

CftpApp::~CftpApp() = default;

void CftpApp::InitInstance()
{
    QCoreApplication::setOrganizationName(QStringLiteral("KEVRA"));
    QCoreApplication::setApplicationName(QStringLiteral("KEVRA"));
    QtChineseTexts::install(*QCoreApplication::instance());
    MessageBoxCaptionFit::install();
    const Configuration config = LoadConfiguration(documentsFolder_);
    if (config.documentsFolderMissing)
        prompt_.tell(QStringLiteral("获取路径失败"));
    frame_ = std::make_unique<CMainFrame>();
    features_ = std::make_unique<ViewFeatures>(*frame_->view(), prompt_, config.workFolder);
    workPath_ = std::make_unique<WorkPathCommand>(*frame_->view(),
                                                  features_->sessions().engineLock(), prompt_);
    update_ = std::make_unique<UpdateCommands>(*frame_->view(), prompt_);
    frame_->view()->initialUpdate(config);
    frame_->setWindowTitle(QStringLiteral("KEVRA"));
    frame_->showMaximized();
}
