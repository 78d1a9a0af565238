#include "archive/gui/CompressAndUpload.h"

#include "platform/Prompt.h"
#include "queue/TransferQueue.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/LocalPaneController.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {
constexpr int progressDelayMs = 400;
constexpr int dialogWidth = 420;
} // namespace

CompressAndUpload::CompressAndUpload(CftpView& view, LocalPaneController& localPane, Prompt& prompt,
                                     Sources sources, QObject* parent)
    : QObject(parent), view_(view), localPane_(localPane), prompt_(prompt),
      sources_(std::move(sources))
{
    auto& commands = view_.commands();
    commands.setHandler(CommandId::LocalCompressAndUpload, [this] { run(); });
    commands.setEnabledRule(CommandId::LocalCompressAndUpload,
                            [this] { return !localPane_.selectedNames().isEmpty(); });
    commands.setHandler(CommandId::CompressAndUpload, [this] { run(); });
}

void CompressAndUpload::run()
{
    if (packing_)
        return;
    if (!sources_.connected()) {
        prompt_.tell(QStringLiteral("未连接"));
        return;
    }
    const QStringList names = localPane_.selectedNames();
    if (names.isEmpty()) {
        prompt_.tell(QStringLiteral("请先在本地列表中选择要压缩上传的文件或文件夹"));
        return;
    }
    // The tab selected now is where the archive goes, whichever is selected once it is packed.
    const Destination destination{sources_.remoteFolder(), sources_.serverAddress()};
    const QString folder = localPane_.currentFolder();
    const QString archiveName = names.first() + QStringLiteral(".zip");
    const QString archivePath = TransferQueue::localPath(folder, archiveName);
    ZipPacker packer(folder);
    switch (packWithProgress(packer, names, archivePath)) {
    case ZipPacker::Result::Cancelled:
        return;
    case ZipPacker::Result::CannotCreate:
        prompt_.tell(QStringLiteral("文件错误"));
        return;
    case ZipPacker::Result::Packed:
        break;
    }
    if (packer.skippedEntries() > 0)
        view_.AppendLog(QStringLiteral("压缩") + archiveName + QStringLiteral("时有") +
                        QString::number(packer.skippedEntries()) +
                        QStringLiteral("项无法读取，未放入压缩包\r\n"));
    queueUpload(archiveName, archivePath, destination);
}

// The dialog appears only when packing takes a while; its own event loop keeps the window
// painting until the packing thread ends.
ZipPacker::Result CompressAndUpload::packWithProgress(ZipPacker& packer, const QStringList& names,
                                                      const QString& archivePath)
{
    packing_ = true;
    std::atomic<bool> cancel{false};
    QProgressDialog dialog(QStringLiteral("正在压缩"), QStringLiteral("取消"), 0, 0, &view_);
    dialog.setWindowTitle(QStringLiteral("压缩上传"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumWidth(dialogWidth); // room for long entry names
    QTimer::singleShot(progressDelayMs, &dialog, [&dialog, &cancel] {
        if (!cancel)
            dialog.show();
    });
    connect(&dialog, &QProgressDialog::canceled, &dialog, [&cancel] { cancel = true; });
    packer.setCancelFlag(&cancel);
    packer.setProgress([&dialog](const QString& entry) {
        QMetaObject::invokeMethod(
            &dialog, [&dialog, entry] { dialog.setLabelText(QStringLiteral("正在压缩") + entry); },
            Qt::QueuedConnection);
    });
    ZipPacker::Result result = ZipPacker::Result::CannotCreate;
    QEventLoop loop;
    std::unique_ptr<QThread> thread(
        QThread::create([&] { result = packer.pack(names, archivePath); }));
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    packing_ = false;
    return result;
}

void CompressAndUpload::queueUpload(const QString& archiveName, const QString& archivePath,
                                    const Destination& destination)
{
    const QFileInfo archive(archivePath);
    if (!archive.isFile()) {
        prompt_.tell(QStringLiteral("文件错误"));
        return;
    }
    sources_.addUpload(archivePath, TransferQueue::remotePath(destination.folder, archiveName),
                       QString::number(archive.size()), destination.address);
}
