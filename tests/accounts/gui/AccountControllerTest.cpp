#include "accounts/gui/AccountController.h"

#include "accounts/AccountCommands.h"
#include "accounts/AccountFile.h"
#include "config/Configuration.h"
#include "support/FreePorts.h"
#include "support/ModalDialogs.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/ControlIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/SessionController.h"
#include "view/gui/ViewFeatures.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

const QString Loopback = QStringLiteral("127.0.0.1");
const QString Anonymous = QStringLiteral("anonymous");
const QString Guest = QStringLiteral("guest");

// Spins the event loop until the condition holds or about ten seconds pass.
bool waitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 200 && !condition(); ++i)
        QTest::qWait(50);
    return condition();
}

template <typename Widget> Widget* childControl(const QWidget& window, int id)
{
    return window.findChild<Widget*>(QStringLiteral("ctl%1").arg(id), Qt::FindDirectChildrenOnly);
}

// The view's own control: the dialogs the view parents carry ids of their own that may clash.
template <typename Widget> Widget* viewControl(CftpView& view, int id)
{
    for (Widget* widget : view.findChildren<Widget*>(QStringLiteral("ctl%1").arg(id))) {
        if (widget->window() == view.window())
            return widget;
    }
    return nullptr;
}

void clickViewButton(CftpView& view, int id)
{
    auto* button = viewControl<QPushButton>(view, id);
    ASSERT_NE(button, nullptr) << "button " << id;
    button->click();
}

struct Account {
    QString server;
    QString port;
    QString user;
    QString password;
};

Account account(const char* server, const char* port, const char* user, const char* password)
{
    return {QString::fromLatin1(server), QString::fromLatin1(port), QString::fromLatin1(user),
            QString::fromLatin1(password)};
}

QStringList describe(const QList<AccountRecord>& records)
{
    QStringList lines;
    for (const AccountRecord& record : records)
        lines << QStringList{record.server, record.port, record.user, record.password}.join(u'|');
    return lines;
}

QString describe(const Account& account)
{
    return QStringList{account.server, account.port, account.user, account.password}.join(u'|');
}

// Types the account into the "账号信息" dialog and presses 确定.
void fillAccountDialog(CIDDlg& dialog, const Account& account)
{
    const std::pair<int, QString> fields[] = {{1003, account.server},
                                              {1007, account.port},
                                              {1009, account.user},
                                              {1010, account.password}};
    for (const auto& [id, text] : fields)
        childControl<QLineEdit>(dialog, id)->setText(text);
    childControl<QPushButton>(dialog, 1)->click();
}

QStringList serverColumn(const Cftplist& dialog)
{
    auto* list = childControl<QTreeWidget>(dialog, Cftplist::ListId);
    QStringList servers;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        servers << list->topLevelItem(row)->text(0);
    return servers;
}

void selectServer(Cftplist& dialog, const QString& server)
{
    auto* list = childControl<QTreeWidget>(dialog, Cftplist::ListId);
    const QList<QTreeWidgetItem*> rows = list->findItems(server, Qt::MatchExactly, 0);
    ASSERT_EQ(rows.size(), 1) << server.toStdString();
    list->setCurrentItem(rows.first());
}

// Selects the server's row and presses 选择.
std::function<void(Cftplist&)> pickServer(const QString& server)
{
    return [server](Cftplist& dialog) {
        selectServer(dialog, server);
        childControl<QPushButton>(dialog, Cftplist::PickId)->click();
    };
}

class AccountControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        view.initialUpdate(LoadConfiguration(work.path()));
        sessions.setNetworkTimeout(std::chrono::milliseconds(5000));
    }

    QString listPath() { return AccountListPath(view.configuration().workPath); }
    QStringList savedAccounts() { return describe(LoadAccountList(listPath())); }

    void store(const QList<Account>& accounts)
    {
        QList<AccountRecord> records;
        for (const Account& account : accounts)
            records.append({account.server, account.port, account.user, account.password});
        ASSERT_EQ(RewriteAccountList(listPath(), records), AccountWrite::Written);
    }

    void addThroughMenu(const Account& account)
    {
        OnNextModal<CIDDlg>([&](CIDDlg& dialog) { fillAccountDialog(dialog, account); });
        view.commands().dispatch(CommandId::AddAccount);
    }

    // Opens the server list with its button and acts on it; returns the servers it showed.
    QStringList useServerList(const std::function<void(Cftplist&)>& act)
    {
        QStringList shown;
        OnNextModal<Cftplist>([&](Cftplist& dialog) {
            shown = serverColumn(dialog);
            act(dialog);
        });
        clickViewButton(view, ControlId::ServerListButton);
        return shown;
    }

    void fillForm(const QString& host, int port, const QString& user, const QString& password)
    {
        view.setHost(host);
        view.setPort(port);
        view.setUser(user);
        view.setPassword(password);
    }

    // Connects anonymously to a fresh vsftpd and waits for the session's tab.
    void connectToServer()
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        fillForm(server.host(), server.port(), Anonymous, Guest);
        sessions.OnConnect();
        ASSERT_TRUE(waitFor([&] { return sessions.isConnected(); }))
            << view.logText().toStdString();
        ASSERT_TRUE(prompt.texts().isEmpty());
    }

    QString connectedAccount(const QString& port) const
    {
        return describe(Account{Loopback, port, Anonymous, Guest});
    }

    ProfileSandbox profile;
    QTemporaryDir work;
    VsftpdServer server;
    CftpView view;
    ScriptedPrompt prompt;
    SessionController sessions{view, prompt, work.path()};
    AccountController controller{view, sessions, prompt};
};

// ---- 添加账号(&T)

TEST_F(AccountControllerTest, AddedAccountsAreStoredInOrderAndListedNewestFirst)
{
    const Account a = account("a.example", "21", "ua", "pa");
    const Account b = account("b.example", "2121", "ub", "pb");
    const Account c = account("c.example", "990", "uc", "pc");
    for (const Account& account : {a, b, c})
        addThroughMenu(account);

    EXPECT_EQ(prompt.texts(), QStringList(3, QStringLiteral("添加新账号成功")));
    EXPECT_EQ(savedAccounts(), (QStringList{describe(a), describe(b), describe(c)}));
    const QStringList shown = useServerList([](Cftplist& dialog) { dialog.reject(); });
    EXPECT_EQ(shown, (QStringList{c.server, b.server, a.server}));
    EXPECT_TRUE(view.logText().isEmpty());
}

TEST_F(AccountControllerTest, AccountDialogStartsAtPort21AndKeepsItsLastValues)
{
    QStringList firstShown;
    OnNextModal<CIDDlg>([&](CIDDlg& dialog) {
        for (int id : {1003, 1007, 1009, 1010})
            firstShown << childControl<QLineEdit>(dialog, id)->text();
        fillAccountDialog(dialog, account("ftp.example", "2100", "me", "pw"));
    });
    view.commands().dispatch(CommandId::AddAccount);
    EXPECT_EQ(firstShown, (QStringList{QString(), QStringLiteral("21"), QString(), QString()}));

    QStringList secondShown;
    OnNextModal<CIDDlg>([&](CIDDlg& dialog) {
        for (int id : {1003, 1007, 1009, 1010})
            secondShown << childControl<QLineEdit>(dialog, id)->text();
        dialog.reject();
    });
    view.commands().dispatch(CommandId::AddAccount);
    EXPECT_EQ(secondShown, (QStringList{QStringLiteral("ftp.example"), QStringLiteral("2100"),
                                        QStringLiteral("me"), QStringLiteral("pw")}));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("添加新账号成功")});
    EXPECT_EQ(savedAccounts().size(), 1);
}

TEST_F(AccountControllerTest, AccountsTheDialogRefusesAreNotStored)
{
    const struct {
        Account typed;
        QString message;
    } cases[] = {
        {account("s", "0", "u", "p"), QStringLiteral("端口不能为空")},
        {account("s", "abc", "u", "p"), QStringLiteral("请输入一个整数。")},
        {account("s", "21", "u", ""), QStringLiteral("密码不能为空")},
        {account("s\r21\ru\rp\r\ns", "21", "u", "p"), UnstorableAccountMessage()},
    };
    for (const auto& [typed, message] : cases) {
        const qsizetype asked = prompt.texts().size();
        bool stayedOpen = false;
        OnNextModal<CIDDlg>([&](CIDDlg& dialog) {
            fillAccountDialog(dialog, typed);
            stayedOpen = dialog.isVisible();
        });
        view.commands().dispatch(CommandId::AddAccount);
        EXPECT_TRUE(stayedOpen) << message.toStdString();
        EXPECT_EQ(prompt.texts().mid(asked), QStringList{message});
        EXPECT_TRUE(savedAccounts().isEmpty()) << message.toStdString();
    }
}

TEST_F(AccountControllerTest, AddAccountReportsAFileThatCannotBeWritten)
{
    view.configuration().workPath = work.filePath(QStringLiteral("missing/"));
    addThroughMenu(account("s", "21", "u", "p"));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("添加失败")});
}

// ---- 服务器列表

TEST_F(AccountControllerTest, PickedAccountFillsTheFormAndConnectsLikeTheConnectButton)
{
    const quint16 closed = freeports::freeTcpPort();
    ASSERT_NE(closed, 0);
    const QString port = QString::number(closed);
    const struct {
        QString storedPort;
        int shownPort;
    } cases[] = {{port, closed},
                 {QStringLiteral(" ") + port, closed},
                 {port + QStringLiteral("abc"), closed}};
    for (const auto& [storedPort, shownPort] : cases) {
        view.clearLog();
        store({{Loopback, storedPort, QStringLiteral("someone"), QStringLiteral("secret")},
               account("other.example", "21", "x", "y")});
        useServerList(pickServer(Loopback));
        EXPECT_EQ(view.host(), Loopback);
        EXPECT_EQ(view.port(), std::optional<int>(shownPort)) << storedPort.toStdString();
        EXPECT_EQ(view.user(), QStringLiteral("someone"));
        EXPECT_EQ(view.password(), QStringLiteral("secret"));
        EXPECT_TRUE(view.logText().startsWith(QStringLiteral("连接服务器:127.0.0.1\r\n")));
        // Nothing listens there: the logon fails as it would after pressing Connect.
        EXPECT_TRUE(waitFor([&] { return view.logText().contains(QStringLiteral("连接失败")); }));
        EXPECT_FALSE(sessions.isConnected());
    }
    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_EQ(view.configuration().addresses.count(Loopback), 1);
}

TEST_F(AccountControllerTest, PickedAccountWithoutADigitInItsPortIsRefusedAsConnectWouldBe)
{
    store({account("127.0.0.1", "ftp", "u", "p")});
    useServerList(pickServer(Loopback));
    EXPECT_EQ(viewControl<QLineEdit>(view, ControlId::Port)->text(), QStringLiteral("0"));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("请输入一个整数。")});
    EXPECT_TRUE(view.logText().isEmpty());
    EXPECT_EQ(sessions.currentSession(), nullptr);
}

TEST_F(AccountControllerTest, CancelOrPickWithoutSelectionLeavesTheFormAndConnectsNothing)
{
    store({account("127.0.0.1", "21", "u", "p")});
    const std::function<void(Cftplist&)> closings[] = {
        [](Cftplist& dialog) { childControl<QPushButton>(dialog, Cftplist::CancelId)->click(); },
        [](Cftplist& dialog) { childControl<QPushButton>(dialog, Cftplist::PickId)->click(); },
    };
    for (const auto& close : closings) {
        fillForm(QStringLiteral("typed.example"), 2121, QStringLiteral("typed"),
                 QStringLiteral("pw"));
        const QStringList shown = useServerList(close);
        EXPECT_EQ(shown, QStringList{Loopback});
        EXPECT_EQ(view.host(), QStringLiteral("typed.example"));
        EXPECT_EQ(view.port(), std::optional<int>(2121));
        EXPECT_EQ(view.user(), QStringLiteral("typed"));
        EXPECT_EQ(view.password(), QStringLiteral("pw"));
    }
    EXPECT_TRUE(view.logText().isEmpty());
    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_EQ(sessions.currentSession(), nullptr);
    EXPECT_EQ(view.sessionTabs()->count(), 0);
}

TEST_F(AccountControllerTest, ServerListFollowsTheWorkPath)
{
    store({account("old.example", "21", "u", "p")});
    const QString moved = work.filePath(QStringLiteral("moved"));
    ASSERT_TRUE(QDir().mkpath(moved));
    ASSERT_EQ(AppendAccount(QStringLiteral("new.example"), 21, QStringLiteral("u"),
                            QStringLiteral("p"), AccountListPath(moved)),
              AccountWrite::Written);
    view.configuration().workPath = moved + u'/';
    const QStringList shown = useServerList([](Cftplist& dialog) { dialog.reject(); });
    EXPECT_EQ(shown, QStringList{QStringLiteral("new.example")});
}

// ---- 保存账号

TEST_F(AccountControllerTest, SaveWhileNotConnectedAsksToConnectFirst)
{
    fillForm(Loopback, 21, Anonymous, Guest);
    clickViewButton(view, ControlId::SaveAccountButton);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("请先连接至服务器")});
    EXPECT_EQ(prompt.asked().front().caption, QString());
    EXPECT_TRUE(savedAccounts().isEmpty());
}

TEST_F(AccountControllerTest, SaveStoresTheConnectedAccountOnce)
{
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    const QString port = QString::number(server.port());
    clickViewButton(view, ControlId::SaveAccountButton);
    clickViewButton(view, ControlId::SaveAccountButton);
    EXPECT_EQ(prompt.texts(), (QStringList{QStringLiteral("已保存至服务器列表"),
                                           QStringLiteral("已保存过此账号")}));
    EXPECT_EQ(savedAccounts(), QStringList{connectedAccount(port)});
}

TEST_F(AccountControllerTest, SaveFindsTheAccountSavedWithAnotherPort)
{
    store({{Loopback, QStringLiteral("2121"), Anonymous, Guest}});
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    clickViewButton(view, ControlId::SaveAccountButton);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("已保存过此账号")});
    EXPECT_EQ(savedAccounts(), QStringList{connectedAccount(QStringLiteral("2121"))});
}

TEST_F(AccountControllerTest, SaveComparesServerUserAndPasswordExactly)
{
    const QList<Account> nearMisses = {
        {QStringLiteral("127.0.0.2"), QStringLiteral("21"), Anonymous, Guest},
        {Loopback, QStringLiteral("21"), QStringLiteral("Anonymous"), Guest},
        {Loopback, QStringLiteral("21"), Anonymous, QStringLiteral("Guest")},
    };
    store(nearMisses);
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    clickViewButton(view, ControlId::SaveAccountButton);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("已保存至服务器列表")});
    const QStringList saved = savedAccounts();
    ASSERT_EQ(saved.size(), 4);
    EXPECT_EQ(saved.last(), connectedAccount(QString::number(server.port())));
}

TEST_F(AccountControllerTest, SaveWithAnEmptyFieldDoesNothing)
{
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    const std::function<void()> emptyings[] = {
        [&] { view.setHost(QString()); },
        [&] { view.setUser(QString()); },
        [&] { view.setPassword(QString()); },
    };
    for (const auto& empty : emptyings) {
        fillForm(server.host(), server.port(), Anonymous, Guest);
        empty();
        clickViewButton(view, ControlId::SaveAccountButton);
    }
    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_TRUE(savedAccounts().isEmpty());
}

TEST_F(AccountControllerTest, SaveRefusesAPortFieldThatHoldsNoPort)
{
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    for (const QString& text : {QString(), QStringLiteral("0")}) {
        viewControl<QLineEdit>(view, ControlId::Port)->setText(text);
        clickViewButton(view, ControlId::SaveAccountButton);
    }
    EXPECT_EQ(prompt.texts(), QStringList(2, QStringLiteral("请输入一个整数。")));
    EXPECT_TRUE(savedAccounts().isEmpty());
}

TEST_F(AccountControllerTest, SaveReportsAFileThatCannotBeWritten)
{
    ASSERT_NO_FATAL_FAILURE(connectToServer());
    view.configuration().workPath = work.filePath(QStringLiteral("missing/"));
    clickViewButton(view, ControlId::SaveAccountButton);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("添加失败")});
}

// ---- the whole way through the main view's features

class SavedAccountConnectionTest : public ::testing::Test {
protected:
    ProfileSandbox profile;
    QTemporaryDir work;
    VsftpdServer server;
    CftpView view;
    ScriptedPrompt prompt;
    std::optional<ViewFeatures> features;
    std::optional<AccountController> accounts;
};

TEST_F(SavedAccountConnectionTest, AccountPickedFromTheServerListConnectsToARealServer)
{
    ASSERT_TRUE(work.isValid());
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    features.emplace(view, prompt, work.path());
    accounts.emplace(view, features->sessions(), prompt);
    view.initialUpdate(LoadConfiguration(work.path()));
    const QString port = QString::number(server.port());
    ASSERT_EQ(AppendAccount(QStringLiteral("decoy.example"), 21, QStringLiteral("x"),
                            QStringLiteral("y"), AccountListPath(view.configuration().workPath)),
              AccountWrite::Written);
    ASSERT_EQ(AppendAccount(server.host(), server.port(), Anonymous, Guest,
                            AccountListPath(view.configuration().workPath)),
              AccountWrite::Written);

    QSignalSpy connected(&features->sessions(), &SessionController::connectedChanged);
    QStringList shown;
    OnNextModal<Cftplist>([&](Cftplist& dialog) {
        shown = serverColumn(dialog);
        pickServer(server.host())(dialog);
    });
    clickViewButton(view, ControlId::ServerListButton);
    EXPECT_EQ(shown, (QStringList{server.host(), QStringLiteral("decoy.example")}));
    EXPECT_EQ(view.port(), std::optional<int>(server.port()));

    ASSERT_TRUE(connected.count() > 0 || connected.wait(10000)) << view.logText().toStdString();
    EXPECT_EQ(connected.first().first().toBool(), true);
    ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 1; }));
    EXPECT_EQ(view.sessionTabs()->tabText(0),
              server.host() + u':' + QString::number(server.port()));
    const QStringList lines = view.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("连接服务器:127.0.0.1"));
    EXPECT_EQ(lines[1], QStringLiteral("连接成功"));
    EXPECT_TRUE(waitFor([&] { return view.remoteFiles()->rowCount() > 0; }));

    // The account came from the list, so saving it again finds it there.
    clickViewButton(view, ControlId::SaveAccountButton);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("已保存过此账号")});
}

} // namespace
