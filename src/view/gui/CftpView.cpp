#include "view/gui/CftpView.h"

#include "view/gui/CMyEdit.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CommandIds.h"
#include "view/gui/ContextMenus.h"
#include "view/gui/ControlIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/MenuBuilder.h"
#include "view/gui/QueueListModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QThread>
#include <QVBoxLayout>

#include <array>
#include <utility>

namespace {
// Margins the lists keep free when they share their width among their columns.
constexpr int LocalColumnMargin = 3;
constexpr int RemoteColumnMargin = 2;
constexpr int QueueColumnMargin = 3;
// Starting sizes of the panes; the queue and the log keep their height when the window grows.
constexpr int LocalPaneWidth = 440;
constexpr int RemotePaneWidth = 760;
constexpr int RemoteListHeight = 300;
constexpr int LogHeight = 150;
constexpr int UpperPanesHeight = 480;
constexpr int QueueHeight = 150;
constexpr int RateFieldWidth = 216;
constexpr int SplitterWidth = 4;
constexpr int HighestPort = 65535;

template <typename Widget> Widget* withId(Widget* widget, int id)
{
    widget->setProperty(ControlId::Property, id);
    widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    return widget;
}

QPushButton* frameworkButton(const QString& caption, const QString& tooltip, int id)
{
    auto* button = withId(new QPushButton(caption), id);
    button->setToolTip(tooltip);
    button->setAutoDefault(false);
    return button;
}

QComboBox* pathBox(int id)
{
    auto* box = withId(new QComboBox, id);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    return box;
}

QSplitter* splitter(Qt::Orientation orientation, int id)
{
    auto* bar = withId(new QSplitter(orientation), id);
    bar->setHandleWidth(SplitterWidth);
    bar->setChildrenCollapsible(false);
    return bar;
}

QWidget* stacked(std::initializer_list<QWidget*> widgets, int spacing)
{
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    return pane;
}

void runHook(const std::function<void()>& hook)
{
    if (hook)
        hook();
}
} // namespace

CftpView::CftpView(QWidget* parent)
    : QWidget(parent), localFiles_(new FileListModel(FileListModel::Side::Local, this)),
      remoteFiles_(new FileListModel(FileListModel::Side::Remote, this)),
      queueEntries_(new QueueListModel(this))
{
    createControls();
    arrangeControls();
    registerCommands();
    watchEnterKeys();
}

void CftpView::createControls()
{
    serverListButton_ =
        frameworkButton(QStringLiteral("服务器列表"), QStringLiteral("以保存的服务器列表"),
                        ControlId::ServerListButton);
    serverBox_ = pathBox(ControlId::ServerBox);
    port_ = withId(new QLineEdit, ControlId::Port);
    port_->setValidator(new QIntValidator(1, HighestPort, port_));
    user_ = withId(new QLineEdit, ControlId::User);
    password_ = withId(new QLineEdit, ControlId::Password);
    password_->setEchoMode(QLineEdit::Password);
    connectButton_ = frameworkButton(QStringLiteral("连接"), QStringLiteral("连接至服务器"),
                                     ControlId::ConnectButton);
    disconnectButton_ = frameworkButton(QStringLiteral("断开"), QStringLiteral("断开连接"),
                                        ControlId::DisconnectButton);
    saveAccountButton_ = frameworkButton(QStringLiteral("保存账号"), QStringLiteral("保存当前连接"),
                                         ControlId::SaveAccountButton);

    localPathBox_ = pathBox(ControlId::LocalPathBox);
    localList_ = withId(new CMyListCtrl(LocalColumnMargin), ControlId::LocalList);
    localList_->setModel(localFiles_);
    localList_->setContextMenu(
        MenuBuilder::createMenu(ContextMenus::localList(), commands_, localList_));

    remotePathBox_ = pathBox(ControlId::RemotePathBox);
    remoteList_ = withId(new CMyListCtrl(RemoteColumnMargin), ControlId::RemoteList);
    remoteList_->setModel(remoteFiles_);
    remoteList_->setContextMenu(
        MenuBuilder::createMenu(ContextMenus::remoteList(), commands_, remoteList_));

    sessionTabs_ = withId(new QTabBar, ControlId::SessionTabs);
    sessionTabs_->setShape(QTabBar::RoundedSouth);
    sessionTabs_->setExpanding(false);
    sessionTabs_->setContextMenuPolicy(Qt::CustomContextMenu);
    sessionTabs_->hide();
    tabMenu_ = MenuBuilder::createMenu(ContextMenus::tabs(), commands_, sessionTabs_);

    log_ = withId(new CMyEdit(commands_), ControlId::Log);

    queueList_ = withId(new CMyListCtrl(QueueColumnMargin), ControlId::QueueList);
    queueList_->setModel(queueEntries_);
    queueList_->setContextMenu(
        MenuBuilder::createMenu(ContextMenus::queueList(), commands_, queueList_));

    rateField_ = withId(new QLineEdit, ControlId::RateField);
    rateField_->setReadOnly(true);
    rateField_->setFixedWidth(RateFieldWidth);

    connect(serverListButton_, &QPushButton::clicked, this, &CftpView::serverListRequested);
    connect(connectButton_, &QPushButton::clicked, this, &CftpView::connectRequested);
    connect(disconnectButton_, &QPushButton::clicked, this, &CftpView::disconnectRequested);
    connect(saveAccountButton_, &QPushButton::clicked, this, &CftpView::saveAccountRequested);
    connect(sessionTabs_, &QTabBar::currentChanged, this, &CftpView::sessionTabSelected);
    connect(sessionTabs_, &QTabBar::customContextMenuRequested, this, &CftpView::showTabMenu);
}

QWidget* CftpView::createConnectionBar()
{
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    serverBox_->setMinimumContentsLength(24);
    port_->setMaximumWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    user_->setMinimumWidth(110);
    password_->setMinimumWidth(110);
    row->addWidget(serverListButton_);
    row->addWidget(new QLabel(QStringLiteral("服务器:")));
    row->addWidget(serverBox_, 2);
    row->addWidget(new QLabel(QStringLiteral("端口:")));
    row->addWidget(port_);
    row->addWidget(new QLabel(QStringLiteral("用户名:")));
    row->addWidget(user_, 1);
    row->addWidget(new QLabel(QStringLiteral("密码:")));
    row->addWidget(password_, 1);
    row->addWidget(connectButton_);
    row->addWidget(disconnectButton_);
    row->addWidget(saveAccountButton_);
    row->addStretch(1);
    return bar;
}

QWidget* CftpView::createLocalPane()
{
    return stacked({localPathBox_, localList_}, 2);
}

QWidget* CftpView::createRemotePane()
{
    logSplitter_ = splitter(Qt::Vertical, ControlId::LogSplitter);
    logSplitter_->addWidget(stacked({remoteList_, sessionTabs_}, 0));
    logSplitter_->addWidget(log_);
    logSplitter_->setStretchFactor(0, 1);
    logSplitter_->setStretchFactor(1, 0);
    logSplitter_->setSizes({RemoteListHeight, LogHeight});
    return stacked({remotePathBox_, logSplitter_}, 2);
}

QWidget* CftpView::createRateBar()
{
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    row->addWidget(rateField_);
    return bar;
}

void CftpView::arrangeControls()
{
    paneSplitter_ = splitter(Qt::Horizontal, ControlId::PaneSplitter);
    paneSplitter_->addWidget(createLocalPane());
    paneSplitter_->addWidget(createRemotePane());
    paneSplitter_->setStretchFactor(0, 0);
    paneSplitter_->setStretchFactor(1, 1);
    paneSplitter_->setSizes({LocalPaneWidth, RemotePaneWidth});

    queueSplitter_ = splitter(Qt::Vertical, ControlId::QueueSplitter);
    queueSplitter_->addWidget(paneSplitter_);
    queueSplitter_->addWidget(queueList_);
    queueSplitter_->setStretchFactor(0, 1);
    queueSplitter_->setStretchFactor(1, 0);
    queueSplitter_->setSizes({UpperPanesHeight, QueueHeight});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(createConnectionBar());
    layout->addWidget(queueSplitter_, 1);
    layout->addWidget(createRateBar());
}

void CftpView::registerCommands()
{
    commands_.setHandler(CommandId::Connect, [this] { Q_EMIT connectRequested(); });
    commands_.setHandler(CommandId::Disconnect, [this] { Q_EMIT disconnectRequested(); });
    commands_.setHandler(CommandId::ClearLog, [this] { clearLog(); });
    commands_.setHandler(CommandId::CloseTab,
                         [this] { Q_EMIT closeTabRequested(tabAtMenuPoint()); });
}

// Enter acts only in the password field (connect), in the remote path box (open the typed path)
// and in the lists, which handle it themselves; everywhere else it is swallowed, so that the
// combo boxes never take the typed text into their lists.
void CftpView::watchEnterKeys()
{
    for (QWidget* widget : findChildren<QWidget*>()) {
        const bool inList = qobject_cast<CMyListCtrl*>(widget) != nullptr ||
                            qobject_cast<CMyListCtrl*>(widget->parentWidget()) != nullptr;
        if (!inList)
            widget->installEventFilter(this);
    }
}

bool CftpView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (watched == password_)
        Q_EMIT connectRequested();
    if (watched == remotePathBox_ || watched == remotePathBox_->lineEdit())
        Q_EMIT remotePathEntered(remotePathBox_->currentText());
    return true;
}

void CftpView::setStartupHooks(StartupHooks hooks)
{
    hooks_ = std::move(hooks);
}

void CftpView::addStartupStep(std::function<void()> StartupHooks::*hook, std::function<void()> step)
{
    std::function<void()>& slot = hooks_.*hook;
    slot = [before = std::move(slot), step = std::move(step)] {
        runHook(before);
        step();
    };
}

void CftpView::setQueueModel(QAbstractItemModel* model)
{
    queueList_->setModel(model);
}

void CftpView::initialUpdate(const Configuration& config)
{
    if (initialised_)
        return;
    initialised_ = true;
    configuration_ = config;
    serverBox_->addItems(config.addresses);
    runHook(hooks_.fillLocalDrives);
    runHook(hooks_.loadQueue);
    serverBox_->setCurrentIndex(-1);
    serverBox_->clearEditText();
    clearLog();
    setPort(DefaultPort);
    runHook(hooks_.enterDesktopFolder);
    runHook(hooks_.startWorkers);
}

QString CftpView::host() const
{
    return serverBox_->currentText();
}

void CftpView::setHost(const QString& host)
{
    serverBox_->setEditText(host);
}

std::optional<int> CftpView::port() const
{
    if (!port_->hasAcceptableInput())
        return std::nullopt;
    return port_->text().toInt();
}

void CftpView::setPort(int port)
{
    port_->setText(QString::number(port));
}

QString CftpView::user() const
{
    return user_->text();
}

void CftpView::setUser(const QString& user)
{
    user_->setText(user);
}

QString CftpView::password() const
{
    return password_->text();
}

void CftpView::setPassword(const QString& password)
{
    password_->setText(password);
}

int CftpView::addSessionTab(const QString& label)
{
    const QSignalBlocker quiet(sessionTabs_);
    const int index = sessionTabs_->addTab(label);
    sessionTabs_->setCurrentIndex(index);
    sessionTabs_->show();
    return index;
}

void CftpView::removeSessionTab(int index)
{
    const QSignalBlocker quiet(sessionTabs_);
    sessionTabs_->removeTab(index);
    if (sessionTabs_->count() == 0)
        sessionTabs_->hide();
}

void CftpView::selectSessionTab(int index)
{
    const QSignalBlocker quiet(sessionTabs_);
    sessionTabs_->setCurrentIndex(index);
}

void CftpView::setRemotePathText(const QString& path)
{
    remotePathBox_->setEditText(path);
}

QString CftpView::remotePathText() const
{
    return remotePathBox_->currentText();
}

void CftpView::setRateText(const QString& text)
{
    rateField_->setText(text);
}

void CftpView::focusPane(int step)
{
    const std::array<QWidget*, 4> panes{localList_, remoteList_, log_, queueList_};
    const int count = static_cast<int>(panes.size());
    const QWidget* focused = focusWidget();
    int current = -1;
    for (int i = 0; i < count; ++i) {
        if (focused != nullptr && (panes[i] == focused || panes[i]->isAncestorOf(focused)))
            current = i;
    }
    const int next = current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    panes[next]->setFocus(Qt::OtherFocusReason);
}

void CftpView::AppendLog(const QString& text)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, text] { AppendLog(text); }, Qt::QueuedConnection);
        return;
    }
    logText_ += text;
    log_->moveCursor(QTextCursor::End);
    log_->insertPlainText(text);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void CftpView::clearLog()
{
    logText_.clear();
    log_->clear();
}

void CftpView::showTabMenu(const QPoint& at)
{
    tabMenuPoint_ = at;
    tabMenu_->popup(sessionTabs_->mapToGlobal(at));
}

// Only the horizontal position counts, as the strip is one row of tabs.
int CftpView::tabAtMenuPoint() const
{
    for (int index = 0; index < sessionTabs_->count(); ++index) {
        const QRect tab = sessionTabs_->tabRect(index);
        if (tabMenuPoint_.x() >= tab.left() && tabMenuPoint_.x() <= tab.right())
            return index;
    }
    return -1;
}
