#pragma once

#include "platform/Paths.h"

#include <QString>

#include <memory>

class AccountController;
class CMainFrame;
class CompressAndUpload;
class Prompt;
class QueueFeatures;
class RemoteArchiveCommands;
class UpdateCommands;
class ViewFeatures;
class WorkPathCommand;

// Start-up of the program: names the application, loads Qt's Chinese texts, reads ftp.ini
// (creating the work folder) and opens the main window maximised. The QApplication itself
// belongs to main().
class CftpApp {
public:
    // The work folder goes into the documents folder; an empty one means it could not be found.
    explicit CftpApp(Prompt& prompt, QString documentsFolder = Paths::documentsFolder());
    ~CftpApp();

    void InitInstance();
    CMainFrame* mainFrame() const { return frame_.get(); }
    ViewFeatures* features() const { return features_.get(); }
    QueueFeatures* queue() const { return queue_.get(); }

private:
    void attachArchiveCommands();

    Prompt& prompt_;
    const QString documentsFolder_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<ViewFeatures> features_;      // refers to the frame's view: declared after it
    std::unique_ptr<AccountController> accounts_; // uses the features' sessions
    std::unique_ptr<WorkPathCommand> workPath_;   // uses the view and the features' engine lock
    std::unique_ptr<QueueFeatures> queue_;        // refers to features_: declared after it
    std::unique_ptr<CompressAndUpload> compress_; // uses queue_ and features_
    std::unique_ptr<RemoteArchiveCommands> remoteArchive_; // uses features_
    std::unique_ptr<UpdateCommands> update_;               // uses the view
};
