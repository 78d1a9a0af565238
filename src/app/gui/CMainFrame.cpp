#include "app/gui/CMainFrame.h"

#include "app/gui/CAboutDlg.h"
#include "app/gui/MainMenu.h"
#include "app/gui/StatusTipRouter.h"
#include "app/gui/VisualStyle.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/MenuBuilder.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include <cstdlib>
#include <utility>

namespace {
constexpr int DefaultWidth = 1200;
constexpr int DefaultHeight = 800;

QLabel* statusPane(const QString& text, const QString& name)
{
    auto* pane = new QLabel(text);
    pane->setObjectName(name);
    return pane;
}
} // namespace

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent), view_(new CftpView(this)), currentLook_(VisualStyle::storedLook()),
      terminate_([](int code) { std::_Exit(code); })
{
    VisualStyle::apply(currentLook_);
    setCentralWidget(view_);
    createMenus();
    createStatusBar();
    new StatusTipRouter(*this);
    createPaneKeys();
    registerCommands();
    markCurrentLook();
    resize(DefaultWidth, DefaultHeight);
}

void CMainFrame::createMenus()
{
    MenuBuilder::fillMenuBar(menuBar(), MainMenu::popups(), view_->commands());
    looks_ = new QActionGroup(this);
    looks_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const int id : VisualStyle::lookIds()) {
        if (QAction* look = commandAction(id)) {
            look->setCheckable(true);
            looks_->addAction(look);
        }
    }
    statusBarAction_ = commandAction(CommandId::StatusBar);
    statusBarAction_->setCheckable(true);
    statusBarAction_->setChecked(true);
}

// The lock indicators are shown as labels only: Qt gives no portable way to read the lock
// states, so they stay greyed rather than claim a state they do not know.
void CMainFrame::createStatusBar()
{
    statusBar()->addWidget(statusPane(QStringLiteral("就绪"), QStringLiteral("messagePane")), 1);
    const QString indicators[][2] = {{QStringLiteral("CAPS"), QStringLiteral("capsLockPane")},
                                     {QStringLiteral("NUM"), QStringLiteral("numLockPane")},
                                     {QStringLiteral("SCRL"), QStringLiteral("scrollLockPane")}};
    for (const auto& indicator : indicators) {
        QLabel* pane = statusPane(indicator[0], indicator[1]);
        pane->setEnabled(false);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(pane);
    }
}

void CMainFrame::createPaneKeys()
{
    const std::pair<int, QKeySequence> keys[] = {
        {CommandId::NextPane, QKeySequence(Qt::Key_F6)},
        {CommandId::PreviousPane, QKeySequence(Qt::SHIFT | Qt::Key_F6)}};
    for (const auto& [id, sequence] : keys) {
        auto* key = new QAction(this);
        key->setData(id);
        key->setShortcut(sequence);
        const int command = id;
        connect(key, &QAction::triggered, this,
                [this, command] { view_->commands().dispatch(command); });
        addAction(key);
    }
}

// Every command the frame itself answers. The other menu commands are registered by their
// features on the view's dispatcher; until then choosing them does nothing.
void CMainFrame::registerCommands()
{
    CommandDispatcher& commands = view_->commands();
    commands.setHandler(CommandId::About, [this] { showAbout(); });
    commands.setHandler(CommandId::Exit, [this] { terminate_(0); });
    commands.setHandler(CommandId::StatusBar, [this] { toggleStatusBar(); });
    commands.setHandler(CommandId::NextPane, [this] { view_->focusPane(1); });
    commands.setHandler(CommandId::PreviousPane, [this] { view_->focusPane(-1); });
    for (const int id : VisualStyle::lookIds())
        commands.setHandler(id, [this, id] { setLook(id); });
}

QAction* CMainFrame::commandAction(int id) const
{
    if (QAction* inMenu = MenuBuilder::findCommand(menuBar(), id))
        return inMenu;
    for (QAction* key : actions()) {
        if (key->data().toInt() == id)
            return key;
    }
    return nullptr;
}

void CMainFrame::setLook(int id)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    currentLook_ = id;
    VisualStyle::apply(id);
    markCurrentLook();
    update();
    VisualStyle::storeLook(id);
    QApplication::restoreOverrideCursor();
}

void CMainFrame::markCurrentLook()
{
    for (QAction* look : looks_->actions())
        look->setChecked(look->data().toInt() == currentLook_);
}

void CMainFrame::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::setTerminate(std::function<void(int)> terminate)
{
    terminate_ = std::move(terminate);
}

void CMainFrame::toggleStatusBar()
{
    statusBar()->setHidden(!statusBar()->isHidden());
    statusBarAction_->setChecked(!statusBar()->isHidden());
}
