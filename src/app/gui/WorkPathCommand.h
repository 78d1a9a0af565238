#pragma once

#include <QString>

#include <functional>

class CftpView;
class NamedMutex;
class Prompt;
class QWidget;

// "工作路径(&R)" (32802): the user picks a folder, which becomes the work path of the saved
// accounts, the trusted certificates, the queue and the files opened from servers.
class WorkPathCommand {
public:
    // Answers the chosen folder, or an empty text when the user cancels.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& startFolder)>;

    WorkPathCommand(CftpView& view, NamedMutex& engineLock, Prompt& prompt,
                    FolderChooser chooser = chooseFolder);

    void run();
    // Called once the work path has moved.
    void setMovedHandler(std::function<void()> moved) { moved_ = std::move(moved); }

    // Qt's folder chooser, titled "请选择文件夹", showing folders only.
    static QString chooseFolder(QWidget* parent, const QString& startFolder);

private:
    CftpView& view_;
    NamedMutex& engineLock_;
    Prompt& prompt_;
    FolderChooser chooser_;
    std::function<void()> moved_;
};
