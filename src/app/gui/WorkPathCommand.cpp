#include "app/gui/WorkPathCommand.h"

#include "accounts/AccountFile.h"
#include "accounts/CertificateTrust.h"
#include "app/WorkPathChange.h"
#include "queue/QueueFile.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"

#include <QFileDialog>

#include <utility>

WorkPathCommand::WorkPathCommand(CftpView& view, NamedMutex& engineLock, Prompt& prompt,
                                 FolderChooser chooser)
    : view_(view), engineLock_(engineLock), prompt_(prompt), chooser_(std::move(chooser))
{
    view_.commands().setHandler(CommandId::WorkPath, [this] { run(); });
}

void WorkPathCommand::run()
{
    const QString folder = chooser_(&view_, view_.configuration().workPath);
    if (folder.isEmpty())
        return;
    WorkPathChange change(view_.configuration(), engineLock_, prompt_,
                          {&AccountListPath, &QueueFile::pathIn, &CertificateTrust::pathIn});
    if (change.apply(folder) && moved_)
        moved_();
}

QString WorkPathCommand::chooseFolder(QWidget* parent, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("请选择文件夹"), startFolder,
                                             QFileDialog::ShowDirsOnly);
}
