#pragma once

#include <QMainWindow>

#include <functional>

class CftpView;
class QActionGroup;
class QLabel;

// The one top-level window: the main menu, the status bar and the main view, and the choice
// of look. Menu commands travel by id through the view's command dispatcher; the frame
// handles its own (about, exit, status bar, looks, pane keys) there as well.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CftpView* view() const { return view_; }
    // The action of a command in the menu bar or among the frame's keys.
    QAction* commandAction(int id) const;

    int currentLook() const { return currentLook_; }
    // Applies a look at once, marks it in the menu and remembers it for the next start.
    void setLook(int id);

    void showAbout();
    // How the exit command ends the process; tests put something harmless here.
    void setTerminate(std::function<void(int)> terminate);

private:
    void createMenus();
    void createStatusBar();
    void createPaneKeys();
    void registerCommands();
    void toggleStatusBar();
    void markCurrentLook();

    CftpView* view_;
    int currentLook_;
    QActionGroup* looks_ = nullptr;
    QAction* statusBarAction_ = nullptr;
    std::function<void(int)> terminate_;
};
