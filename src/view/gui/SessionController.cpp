#include "view/gui/SessionController.h"

#include "accounts/CertificateTrust.h"
#include "config/Configuration.h"
#include "ftp/ServerAddress.h"
#include "platform/Prompt.h"
#include "session/SessionMessages.h"
#include "session/SessionThread.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabBar>

#include <algorithm>
#include <thread>
#include <utility>

namespace {
constexpr std::chrono::milliseconds politeQuitGrace{1000};

TextRowsModel::Row displayRow(const CListItem& item)
{
    return TextRowsModel::Row{{item.name, item.date, item.size, item.permissions}, item.isFolder};
}

bool isRootOrEndsWithSlash(const QString& folder)
{
    return folder == QLatin1String("/") || folder.endsWith(QLatin1Char('/'));
}

QString cutBeforeLastSlash(const QString& folder)
{
    const QString cut = folder.left(folder.lastIndexOf(QLatin1Char('/')));
    return cut.isEmpty() ? QStringLiteral("/") : cut;
}
} // namespace

SessionController::SessionController(CftpView& view, Prompt& prompt, const QString& lockFolder,
                                     QObject* parent)
    : QObject(parent), view_(view), prompt_(prompt),
      certificateTrust_(std::make_shared<CertificateTrust>(
          prompt, QString(), [&view](const QString& line) { view.AppendLog(line); })),
      engineLock_(QStringLiteral("mutex1"), lockFolder)
{
    connect(&view_, &CftpView::connectRequested, this, &SessionController::OnConnect);
    connect(&view_, &CftpView::disconnectRequested, this, &SessionController::OnDisconnect);
    connect(&view_, &CftpView::sessionTabSelected, this, &SessionController::onTabSelected);
    connect(&view_, &CftpView::closeTabRequested, this, &SessionController::onCloseTab);
    // Only a finished path is opened: Enter, or an item picked from the box's list.
    connect(&view_, &CftpView::remotePathEntered, this, &SessionController::navigateTo);
    connect(view_.remotePathBox(), &QComboBox::textActivated, this, &SessionController::navigateTo);
    // A double click means the row clicked, even inside a wider selection.
    connect(view_.remoteList(), &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) {
                view_.remoteList()->selectionModel()->select(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                openRemoteRow();
            });
    registerCommands();
    watchRemoteKeys();
}

// Sessions get a moment to say QUIT politely; one still busy after it is interrupted.
SessionController::~SessionController()
{
    for (auto& [id, session] : sessions_)
        session->post(QM_QUIT);
    const auto anyRunning = [this] {
        return std::any_of(sessions_.begin(), sessions_.end(),
                           [](const auto& entry) { return entry.second->isRunning(); });
    };
    const auto giveUp = std::chrono::steady_clock::now() + politeQuitGrace;
    while (anyRunning() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sessions_.clear();
}

void SessionController::registerCommands()
{
    auto& commands = view_.commands();
    commands.setHandler(CommandId::Connect, [this] { OnConnect(); });
    commands.setHandler(CommandId::Disconnect, [this] { OnDisconnect(); });
    commands.setHandler(CommandId::RemoteRefresh, [this] { refreshRemote(); });
    commands.setEnabledRule(CommandId::RemoteRefresh, [this] { return connected_; });
    const auto anySelected = [this] { return selectedRemoteRows().size() > 0; };
    for (int id : {CommandId::RemoteDownload, CommandId::RemoteSaveAs, CommandId::RemoteDelete,
                   CommandId::RemoteAddToQueue, CommandId::RemoteRename, CommandId::RemoteCompress})
        commands.setEnabledRule(id, anySelected);
    commands.setEnabledRule(CommandId::RemoteChangePath,
                            [this] { return selectedRemoteRows().size() == 1; });
    commands.setEnabledRule(CommandId::RemoteOpen, [this] {
        const QModelIndexList rows = selectedRemoteRows();
        return rows.size() == 1 && !view_.remoteFiles()->rowAt(rows.first().row()).folder;
    });
}

QModelIndexList SessionController::selectedRemoteRows() const
{
    return view_.remoteList()->selectionModel()->selectedRows();
}

void SessionController::watchRemoteKeys()
{
    view_.remoteList()->installEventFilter(this);
}

bool SessionController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != view_.remoteList() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        openRemoteRow();
        return true;
    }
    if (key == Qt::Key_Backspace) {
        remoteUp();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

RemoteBrowserState& SessionController::remote()
{
    const auto it = browsers_.find(registry_.current());
    return it == browsers_.end() ? noSession_ : *it->second;
}

SessionThread* SessionController::currentSession() const
{
    const auto it = sessions_.find(registry_.current());
    return it == sessions_.end() ? nullptr : it->second.get();
}

QString SessionController::currentAddress() const
{
    const int current = registry_.current();
    for (const SessionRegistry::Tab& tab : registry_.tabs()) {
        if (tab.id == current)
            return tab.identity.text();
    }
    return QString();
}

bool SessionController::postToCurrent(int message, std::unique_ptr<MailPayload> payload)
{
    SessionThread* session = currentSession();
    if (!session)
        return false;
    session->post(message, std::move(payload));
    return true;
}

bool SessionController::postToSession(int sessionId, int message,
                                      std::unique_ptr<MailPayload> payload)
{
    const auto found = sessions_.find(sessionId);
    if (found == sessions_.end())
        return false;
    found->second->post(message, std::move(payload));
    return true;
}

// A port written in the server box ("host:2121") takes the place of the port field's.
void SessionController::OnConnect()
{
    const QString host = view_.host();
    if (host.isEmpty()) {
        prompt_.tell(QStringLiteral("请填入服务器地址"));
        return;
    }
    QString error;
    const std::optional<ServerAddress> address = ServerAddress::parse(host, error);
    if (!address) {
        prompt_.tell(error);
        return;
    }
    const std::optional<int> port = address->port ? address->port : view_.port();
    if (!port) {
        prompt_.tell(QStringLiteral("请输入一个整数。"));
        return;
    }
    followWorkPath();
    view_.AppendLog(QStringLiteral("连接服务器:") + host + QStringLiteral("\r\n"));
    startSession(LogonRecord{host, view_.user(), *port, view_.password()});
    RememberServer(view_.configuration(), host);
}

void SessionController::followWorkPath()
{
    certificateTrust_->setTrustFile(CertificateTrust::pathIn(view_.configuration().workPath));
}

void SessionController::startSession(const LogonRecord& logon)
{
    auto browser = std::make_unique<RemoteBrowserState>();
    SessionEnvironment environment;
    environment.registry = &registry_;
    environment.remote = browser.get();
    environment.engineLock = &engineLock_;
    environment.prompt = &prompt_;
    environment.keepAliveInterval = keepAlive_;
    environment.networkTimeout = networkTimeout_;
    environment.configPath = view_.configuration().configPath;
    environment.certificateJudge = certificateTrust_;
    auto session = std::make_unique<SessionThread>(logon, environment);
    SessionThread* raw = session.get();
    const int id = raw->id();
    connect(raw, &SessionThread::logAppended, &view_, &CftpView::AppendLog);
    connect(raw, &SessionThread::loggedOn, this, &SessionController::onLoggedOn);
    connect(raw, &SessionThread::logonFailed, this, &SessionController::onLogonFailed);
    connect(raw, &SessionThread::finished, this, &SessionController::onFinished,
            Qt::QueuedConnection);
    connect(raw, &SessionThread::activated, this, &SessionController::onActivated);
    connect(raw, &SessionThread::remoteListReady, this,
            [this, id](const QVector<CListItem>& rows) { onRemoteList(id, rows); });
    connect(raw, &SessionThread::remotePathShown, this,
            [this, id](const QString& path) { onRemotePathShown(id, path); });
    browsers_.emplace(id, std::move(browser));
    sessions_.emplace(id, std::move(session));
    raw->openAfterLogon(std::exchange(pathAfterLogon_, QString()));
    raw->start();
}

// The new tab's own listing is on its way; until it comes the tab shows nothing rather than the
// listing of the tab that was selected before.
void SessionController::onLoggedOn(int sessionId, const QString& host)
{
    registry_.attachTab(sessionId);
    view_.remoteFiles()->clear();
    view_.addSessionTab(host);
    relabelTabs();
    setConnected(true);
}

void SessionController::relabelTabs()
{
    std::vector<SessionIdentity> identities;
    for (const SessionRegistry::Tab& tab : registry_.tabs())
        identities.push_back(tab.identity);
    const QStringList labels = SessionIdentity::tabLabels(identities);
    for (int index = 0; index < labels.size() && index < view_.sessionTabs()->count(); ++index)
        view_.sessionTabs()->setTabText(index, labels.at(index));
}

// The failed session no longer serves requests: they go to the selected tab's session again.
void SessionController::onLogonFailed(int sessionId)
{
    if (registry_.current() == sessionId)
        registry_.setCurrent(registry_.sessionAtTab(view_.sessionTabs()->currentIndex()));
}

void SessionController::onFinished(int sessionId)
{
    sessions_.erase(sessionId);
    browsers_.erase(sessionId);
}

void SessionController::onRemoteList(int sessionId, const QVector<CListItem>& rows)
{
    if (sessionId != registry_.current())
        return;
    QVector<TextRowsModel::Row> display;
    display.reserve(rows.size());
    for (const CListItem& item : rows)
        display.append(displayRow(item));
    view_.remoteFiles()->setRows(std::move(display));
}

void SessionController::onRemotePathShown(int sessionId, const QString& path)
{
    if (sessionId == registry_.current())
        showRemotePath(path);
}

// Showing a path in the box starts the navigation to it, as entering it would; a path already
// reached is not entered again.
void SessionController::showRemotePath(const QString& path)
{
    QComboBox* box = view_.remotePathBox();
    box->addItem(path);
    box->setCurrentIndex(box->count() - 1);
    view_.setRemotePathText(path);
    navigateTo(path);
}

void SessionController::navigateTo(const QString& path)
{
    remote().setPathBoxText(path);
    postToCurrent(QM_NAVIGATE);
}

void SessionController::onActivated(int sessionId, const LogonRecord& logon)
{
    if (sessionId != registry_.current())
        return;
    view_.setHost(logon.host);
    view_.setPort(logon.port);
    view_.setUser(logon.user);
    view_.setPassword(logon.password);
}

void SessionController::onTabSelected(int index)
{
    const int sessionId = registry_.sessionAtTab(index);
    if (sessionId == SessionRegistry::None)
        return;
    registry_.setCurrent(sessionId);
    // The label may name the user too; the server box takes the server as it was given.
    if (const SessionThread* session = currentSession())
        view_.setHost(session->logon().host);
    postToCurrent(QM_ACTIVATE);
}

void SessionController::endSession(int sessionId)
{
    const auto it = sessions_.find(sessionId);
    if (it != sessions_.end())
        it->second->post(QM_QUIT);
    registry_.remove(sessionId);
}

void SessionController::OnDisconnect()
{
    if (!connected_) {
        prompt_.tell(QStringLiteral("尚未连接"));
        return;
    }
    const int tab = view_.sessionTabs()->currentIndex();
    const int sessionId = registry_.sessionAtTab(tab);
    const QString host = view_.sessionTabs()->tabText(tab);
    endSession(sessionId);
    view_.remoteFiles()->clear();
    view_.remotePathBox()->clear();
    view_.setUser(QString());
    view_.setPassword(QString());
    view_.setHost(QString());
    view_.removeSessionTab(tab);
    relabelTabs();
    if (view_.sessionTabs()->count() > 0) {
        const int last = view_.sessionTabs()->count() - 1;
        view_.selectSessionTab(last);
        onTabSelected(last);
    } else {
        registry_.setCurrent(SessionRegistry::None);
        setConnected(false);
    }
    view_.AppendLog(host + QStringLiteral("已断开连接\r\n"));
}

void SessionController::onCloseTab(int index)
{
    if (index < 0)
        return;
    if (index == view_.sessionTabs()->currentIndex()) {
        OnDisconnect();
        return;
    }
    const QString label = view_.sessionTabs()->tabText(index);
    endSession(registry_.sessionAtTab(index));
    view_.removeSessionTab(index);
    relabelTabs();
    view_.AppendLog(label + QStringLiteral("已断开连接\r\n"));
}

void SessionController::setConnected(bool connected)
{
    if (connected_ == connected)
        return;
    connected_ = connected;
    Q_EMIT connectedChanged(connected);
}

void SessionController::openRemoteRow()
{
    const QModelIndexList selected = selectedRemoteRows();
    if (selected.isEmpty())
        return;
    const auto& row = view_.remoteFiles()->rowAt(selected.first().row());
    if (!row.folder) {
        view_.commands().dispatch(CommandId::RemoteDownload);
        return;
    }
    const QString name = row.texts.value(0);
    RemoteBrowserState& remote = this->remote();
    const QString current = remote.currentFolder();
    QString target;
    if (name.compare(QLatin1String(".."), Qt::CaseInsensitive) == 0) {
        if (current == QLatin1String("/"))
            return;
        target = cutBeforeLastSlash(current);
    } else {
        target =
            current.endsWith(QLatin1Char('/')) ? current + name : current + QLatin1Char('/') + name;
    }
    remote.setCurrentFolder(target);
    showRemotePath(target);
}

void SessionController::remoteUp()
{
    const QString current = remote().currentFolder();
    if (isRootOrEndsWithSlash(current))
        return;
    const QString target = cutBeforeLastSlash(current);
    remote().setCurrentFolder(target);
    showRemotePath(target);
}

void SessionController::refreshRemote()
{
    postToCurrent(QM_REFRESH);
}
