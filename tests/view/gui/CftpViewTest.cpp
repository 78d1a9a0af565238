#include "view/gui/CftpView.h"
#include "view/gui/CMyEdit.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CommandIds.h"
#include "view/gui/ControlIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/MenuBuilder.h"
#include "view/gui/QueueListModel.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

void settle()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QRect geometryIn(const QWidget& view, const QWidget* control)
{
    return QRect(control->mapTo(&view, QPoint(0, 0)), control->size());
}

class CftpViewTest : public ::testing::Test {
protected:
    template <typename Widget> Widget* control(int id) const
    {
        return view.findChild<Widget*>(QStringLiteral("ctl%1").arg(id));
    }

    CftpView view;
};

struct ControlCase {
    int id;
    const char* className;
    const char* caption;
    const char* tooltip;
};

TEST_F(CftpViewTest, HoldsEveryControlOfTheFormWithItsId)
{
    const ControlCase controls[] = {
        {1063, "QPushButton", "服务器列表", "以保存的服务器列表"},
        {1027, "QComboBox", "", ""},
        {1003, "QLineEdit", "", ""},
        {1004, "QLineEdit", "", ""},
        {1005, "QLineEdit", "", ""},
        {1054, "QPushButton", "连接", "连接至服务器"},
        {1058, "QPushButton", "断开", "断开连接"},
        {1059, "QPushButton", "保存账号", "保存当前连接"},
        {1010, "QComboBox", "", ""},
        {1000, "CMyListCtrl", "", ""},
        {1118, "QSplitter", "", ""},
        {1014, "QComboBox", "", ""},
        {1001, "CMyListCtrl", "", ""},
        {1098, "QTabBar", "", ""},
        {1120, "QSplitter", "", ""},
        {1012, "CMyEdit", "", ""},
        {1121, "QSplitter", "", ""},
        {1013, "CMyListCtrl", "", ""},
        {1015, "QLineEdit", "", ""},
    };
    for (const ControlCase& expected : controls) {
        SCOPED_TRACE(expected.id);
        auto* widget = control<QWidget>(expected.id);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->property(ControlId::Property).toInt(), expected.id);
        EXPECT_TRUE(widget->inherits(expected.className)) << widget->metaObject()->className();
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(expected.caption));
            EXPECT_EQ(button->toolTip(), QString::fromUtf8(expected.tooltip));
        }
    }
}

TEST_F(CftpViewTest, LabelsNameTheConnectionFields)
{
    QStringList labels;
    for (const QLabel* label : view.findChildren<QLabel*>())
        labels << label->text();
    for (const char* text : {"服务器:", "端口:", "用户名:", "密码:"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
}

TEST_F(CftpViewTest, FieldsBehaveAsTheirRolesNeed)
{
    EXPECT_EQ(control<QLineEdit>(ControlId::Password)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(control<QComboBox>(ControlId::ServerBox)->isEditable());
    EXPECT_TRUE(control<QComboBox>(ControlId::LocalPathBox)->isEditable());
    EXPECT_TRUE(control<QComboBox>(ControlId::RemotePathBox)->isEditable());
    EXPECT_TRUE(control<CMyEdit>(ControlId::Log)->isReadOnly());
    EXPECT_TRUE(control<QLineEdit>(ControlId::RateField)->isReadOnly());
    EXPECT_EQ(control<CMyListCtrl>(ControlId::QueueList)->selectionBehavior(),
              QAbstractItemView::SelectRows);
}

TEST_F(CftpViewTest, ListsShowTheirModels)
{
    EXPECT_EQ(view.localList()->model(), view.localFiles());
    EXPECT_EQ(view.remoteList()->model(), view.remoteFiles());
    EXPECT_EQ(view.queueList()->model(), view.queueEntries());
    EXPECT_EQ(view.localList()->header()->count(), 3);
    EXPECT_EQ(view.remoteList()->header()->count(), 4);
    EXPECT_EQ(view.queueList()->header()->count(), 12);
    EXPECT_EQ(view.localFiles()->side(), FileListModel::Side::Local);
    EXPECT_EQ(view.remoteFiles()->side(), FileListModel::Side::Remote);
}

TEST_F(CftpViewTest, TabStripIsHiddenWithoutSessions)
{
    EXPECT_TRUE(view.sessionTabs()->isHidden());
    EXPECT_EQ(view.sessionTabs()->count(), 0);
}

TEST_F(CftpViewTest, SessionTabsShowTheStripWhileThereAreAny)
{
    QSignalSpy selected(&view, &CftpView::sessionTabSelected);
    EXPECT_EQ(view.addSessionTab(QStringLiteral("127.0.0.1")), 0);
    EXPECT_EQ(view.addSessionTab(QStringLiteral("127.0.0.1")), 1);
    EXPECT_FALSE(view.sessionTabs()->isHidden());
    EXPECT_EQ(view.sessionTabs()->currentIndex(), 1);
    EXPECT_EQ(view.sessionTabs()->tabText(1), QStringLiteral("127.0.0.1"));

    view.selectSessionTab(0);
    EXPECT_EQ(view.sessionTabs()->currentIndex(), 0);
    view.removeSessionTab(0);
    EXPECT_FALSE(view.sessionTabs()->isHidden());
    view.removeSessionTab(0);
    EXPECT_TRUE(view.sessionTabs()->isHidden());
    EXPECT_EQ(selected.count(), 0); // the program's own changes are not user selections
}

TEST_F(CftpViewTest, PickingATabIsReported)
{
    view.addSessionTab(QStringLiteral("one"));
    view.addSessionTab(QStringLiteral("two"));
    QSignalSpy selected(&view, &CftpView::sessionTabSelected);
    view.sessionTabs()->setCurrentIndex(0);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.first().first().toInt(), 0);
}

TEST_F(CftpViewTest, TabMenuAsksToCloseTheTabUnderThePoint)
{
    view.resize(1000, 700);
    view.show();
    view.addSessionTab(QStringLiteral("first.example"));
    view.addSessionTab(QStringLiteral("second.example"));
    settle();
    QSignalSpy close(&view, &CftpView::closeTabRequested);
    QTabBar* tabs = view.sessionTabs();
    const QPoint onSecond = tabs->tabRect(1).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onSecond, tabs->mapToGlobal(onSecond));
    QApplication::sendEvent(tabs, &click);
    settle();

    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* closeAction = MenuBuilder::findCommand(menu, CommandId::CloseTab);
    ASSERT_NE(closeAction, nullptr);
    EXPECT_EQ(closeAction->text(), QStringLiteral("关闭"));
    closeAction->trigger();
    menu->close();
    ASSERT_EQ(close.count(), 1);
    EXPECT_EQ(close.first().first().toInt(), 1);
}

TEST_F(CftpViewTest, ConnectionFieldsReadAndWrite)
{
    view.setHost(QStringLiteral("ftp.example.org"));
    view.setPort(2121);
    view.setUser(QStringLiteral("anna"));
    view.setPassword(QStringLiteral("秘密"));
    view.setRemotePathText(QStringLiteral("/pub"));
    view.setRateText(QStringLiteral("1.00MB/s"));
    EXPECT_EQ(view.host(), QStringLiteral("ftp.example.org"));
    EXPECT_EQ(view.port(), 2121);
    EXPECT_EQ(view.user(), QStringLiteral("anna"));
    EXPECT_EQ(view.password(), QStringLiteral("秘密"));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/pub"));
    EXPECT_EQ(control<QLineEdit>(ControlId::RateField)->text(), QStringLiteral("1.00MB/s"));
}

TEST_F(CftpViewTest, PortFieldHoldsOnlyPortNumbers)
{
    auto* port = control<QLineEdit>(ControlId::Port);
    port->clear();
    QTest::keyClicks(port, QStringLiteral("2x1-"));
    EXPECT_EQ(port->text(), QStringLiteral("21"));
    EXPECT_EQ(view.port(), 21);
    for (const char* bad : {"", "0", "65536", "99999"}) {
        port->setText(QString::fromLatin1(bad));
        EXPECT_FALSE(view.port().has_value()) << bad;
    }
    port->setText(QStringLiteral("65535"));
    EXPECT_EQ(view.port(), 65535);
}

TEST_F(CftpViewTest, InitialUpdateRunsItsStepsInOrder)
{
    QStringList steps;
    CftpView::StartupHooks hooks;
    hooks.fillLocalDrives = [&] {
        steps << QStringLiteral("drives, %1 servers").arg(view.serverBox()->count());
    };
    hooks.loadQueue = [&] { steps << QStringLiteral("queue"); };
    hooks.enterDesktopFolder = [&] {
        steps << QStringLiteral("desktop, port %1, log '%2', server '%3'")
                     .arg(control<QLineEdit>(ControlId::Port)->text(), view.logText(), view.host());
    };
    hooks.startWorkers = [&] { steps << QStringLiteral("workers"); };
    view.setStartupHooks(hooks);
    view.AppendLog(QStringLiteral("old\r\n"));
    Configuration config;
    config.addresses = {QStringLiteral("c.example"), QStringLiteral("b.example"),
                        QStringLiteral("a.example")};
    config.workPath = QStringLiteral("/tmp/work/");

    view.initialUpdate(config);
    view.initialUpdate(config);

    EXPECT_EQ(steps, QStringList({QStringLiteral("drives, 3 servers"), QStringLiteral("queue"),
                                  QStringLiteral("desktop, port 21, log '', server ''"),
                                  QStringLiteral("workers")}));
    EXPECT_EQ(view.configuration().workPath, QStringLiteral("/tmp/work/"));
    ASSERT_EQ(view.serverBox()->count(), 3);
    EXPECT_EQ(view.serverBox()->itemText(0), QStringLiteral("c.example"));
    EXPECT_EQ(view.serverBox()->itemText(2), QStringLiteral("a.example"));
    EXPECT_EQ(view.port(), 21);
}

TEST_F(CftpViewTest, InitialUpdateWithoutHooksStillPreparesTheFields)
{
    view.setHost(QStringLiteral("typed"));
    view.initialUpdate(Configuration{});
    EXPECT_EQ(view.host(), QString());
    EXPECT_EQ(view.serverBox()->count(), 0);
    EXPECT_EQ(view.port(), 21);
}

TEST_F(CftpViewTest, ConnectAndDisconnectAskThroughButtonsAndCommands)
{
    QSignalSpy connects(&view, &CftpView::connectRequested);
    QSignalSpy disconnects(&view, &CftpView::disconnectRequested);
    QSignalSpy serverList(&view, &CftpView::serverListRequested);
    QSignalSpy saveAccount(&view, &CftpView::saveAccountRequested);
    control<QPushButton>(ControlId::ConnectButton)->click();
    view.commands().dispatch(CommandId::Connect);
    control<QPushButton>(ControlId::DisconnectButton)->click();
    view.commands().dispatch(CommandId::Disconnect);
    view.commands().dispatch(CommandId::Disconnect);
    control<QPushButton>(ControlId::ServerListButton)->click();
    control<QPushButton>(ControlId::SaveAccountButton)->click();
    EXPECT_EQ(connects.count(), 2);
    EXPECT_EQ(disconnects.count(), 3);
    EXPECT_EQ(serverList.count(), 1);
    EXPECT_EQ(saveAccount.count(), 1);
}

TEST_F(CftpViewTest, EnterInThePasswordFieldConnects)
{
    QSignalSpy connects(&view, &CftpView::connectRequested);
    QTest::keyClick(control<QLineEdit>(ControlId::Password), Qt::Key_Return);
    QTest::keyClick(control<QLineEdit>(ControlId::Password), Qt::Key_Enter);
    EXPECT_EQ(connects.count(), 2);
}

TEST_F(CftpViewTest, EnterElsewhereIsSwallowed)
{
    QSignalSpy connects(&view, &CftpView::connectRequested);
    auto* user = control<QLineEdit>(ControlId::User);
    QSignalSpy userReturn(user, &QLineEdit::returnPressed);
    QTest::keyClick(user, Qt::Key_Return);

    QComboBox* server = view.serverBox();
    QSignalSpy serverReturn(server->lineEdit(), &QLineEdit::returnPressed);
    QTest::keyClicks(server, QStringLiteral("ftp.example"));
    QTest::keyClick(server, Qt::Key_Return);
    QTest::keyClick(server->lineEdit(), Qt::Key_Return);

    EXPECT_EQ(userReturn.count(), 0);
    EXPECT_EQ(serverReturn.count(), 0);
    EXPECT_EQ(server->count(), 0);
    EXPECT_EQ(server->currentText(), QStringLiteral("ftp.example"));
    EXPECT_EQ(connects.count(), 0);
}

TEST_F(CftpViewTest, EnterReachesTheLists)
{
    view.remoteFiles()->setRows({{{QStringLiteral("pub")}, true}});
    CMyListCtrl* list = view.remoteList();
    list->setCurrentIndex(view.remoteFiles()->index(0, 0));
    QSignalSpy activated(list, &QAbstractItemView::activated);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(activated.count(), 1);
}

TEST_F(CftpViewTest, PaneKeysCycleThroughTheFourPanes)
{
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const QWidget* order[] = {view.localList(), view.remoteList(), view.logEdit(),
                              view.queueList()};
    view.serverBox()->setFocus();
    for (const QWidget* expected : order) {
        view.focusPane(1);
        EXPECT_EQ(QApplication::focusWidget(), expected);
    }
    view.focusPane(1);
    EXPECT_EQ(QApplication::focusWidget(), order[0]);
    view.focusPane(-1);
    EXPECT_EQ(QApplication::focusWidget(), order[3]);
    view.focusPane(-1);
    EXPECT_EQ(QApplication::focusWidget(), order[2]);

    view.serverBox()->setFocus();
    view.focusPane(-1);
    EXPECT_EQ(QApplication::focusWidget(), order[3]);
}

TEST_F(CftpViewTest, AppendLogShowsExactlyTheLogText)
{
    view.AppendLog(QStringLiteral("连接服务器:127.0.0.1\r\n"));
    view.AppendLog(QStringLiteral("连接成功\r\n"));
    EXPECT_EQ(view.logText(), QStringLiteral("连接服务器:127.0.0.1\r\n连接成功\r\n"));
    EXPECT_EQ(view.logEdit()->toPlainText(), QStringLiteral("连接服务器:127.0.0.1\n连接成功\n"));
}

TEST_F(CftpViewTest, AppendLogScrollsToTheEnd)
{
    view.resize(900, 600);
    view.show();
    settle();
    for (int line = 0; line < 200; ++line)
        view.AppendLog(QStringLiteral("line %1\r\n").arg(line));
    settle();
    const QScrollBar* bar = view.logEdit()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(CftpViewTest, AppendLogFromWorkerThreadsArrivesInOrder)
{
    constexpr int lines = 200;
    std::thread worker([this] {
        for (int line = 0; line < lines; ++line)
            view.AppendLog(QStringLiteral("worker %1\r\n").arg(line));
    });
    worker.join();
    EXPECT_EQ(view.logText(), QString()); // nothing touched the widgets from the worker
    settle();

    QString expected;
    for (int line = 0; line < lines; ++line)
        expected += QStringLiteral("worker %1\r\n").arg(line);
    EXPECT_EQ(view.logText(), expected);
    EXPECT_EQ(view.logEdit()->toPlainText(),
              QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

TEST(CftpViewLifetime, LinesPostedToAClosedViewAreDropped)
{
    auto closed = std::make_unique<CftpView>();
    CftpView open;
    std::thread worker([&closed, &open] {
        closed->AppendLog(QStringLiteral("late\r\n"));
        open.AppendLog(QStringLiteral("late\r\n"));
    });
    worker.join();
    closed.reset();
    settle(); // delivers to the open view only
    EXPECT_EQ(open.logText(), QStringLiteral("late\r\n"));
}

TEST_F(CftpViewTest, ClearLogCommandEmptiesTheLog)
{
    view.AppendLog(QStringLiteral("something\r\n"));
    EXPECT_TRUE(view.commands().dispatch(CommandId::ClearLog));
    EXPECT_EQ(view.logText(), QString());
    EXPECT_EQ(view.logEdit()->toPlainText(), QString());
}

TEST_F(CftpViewTest, LogMenuFromTheKeyboardOpensBesideTheCornerAndClears)
{
    view.resize(900, 600);
    view.show();
    settle();
    view.AppendLog(QStringLiteral("something\r\n"));
    CMyEdit* log = view.logEdit();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(100, 100),
                          log->mapToGlobal(QPoint(100, 100)));
    QApplication::sendEvent(log, &key);
    settle();

    QMenu* menu = log->contextMenu();
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), log->mapToGlobal(QPoint(5, 5)));
    QAction* clear = MenuBuilder::findCommand(menu, CommandId::ClearLog);
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(clear->text(), QStringLiteral("清空(&k)"));
    clear->trigger();
    menu->close();
    EXPECT_EQ(view.logText(), QString());
}

TEST_F(CftpViewTest, LogMenuFromTheMouseOpensAtTheCursor)
{
    view.resize(900, 600);
    view.show();
    settle();
    CMyEdit* log = view.logEdit();
    const QPoint at(30, 20);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, log->viewport()->mapToGlobal(at));
    QApplication::sendEvent(log->viewport(), &click);
    settle();
    EXPECT_TRUE(log->contextMenu()->isVisible());
    EXPECT_EQ(log->contextMenu()->pos(), log->viewport()->mapToGlobal(at));
    log->contextMenu()->close();
}

TEST_F(CftpViewTest, ListsOpenTheirOwnContextMenus)
{
    view.resize(1000, 700);
    view.show();
    settle();
    const std::pair<CMyListCtrl*, int> lists[] = {{view.localList(), CommandId::LocalSelectAll},
                                                  {view.remoteList(), CommandId::RemoteSelectAll},
                                                  {view.queueList(), CommandId::QueueSelectAll}};
    for (const auto& [list, selectAll] : lists) {
        const QPoint at(20, 30);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &click);
        settle();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        EXPECT_NE(MenuBuilder::findCommand(menu, selectAll), nullptr);
        menu->close();
        settle();
    }
}

class CftpViewLayout : public CftpViewTest {
protected:
    void SetUp() override
    {
        view.resize(1200, 800);
        view.show();
        settle();
    }

    QRect at(int id) const { return geometryIn(view, control<QWidget>(id)); }
};

TEST_F(CftpViewLayout, PanesSitWhereTheUserExpectsThem)
{
    const QRect local = at(ControlId::LocalList);
    const QRect remote = at(ControlId::RemoteList);
    const QRect log = at(ControlId::Log);
    const QRect queue = at(ControlId::QueueList);
    const QRect rate = at(ControlId::RateField);
    const QRect server = at(ControlId::ServerBox);

    EXPECT_LT(server.bottom(), local.top());
    EXPECT_LT(at(ControlId::LocalPathBox).bottom(), local.top());
    EXPECT_LT(at(ControlId::RemotePathBox).bottom(), remote.top());
    EXPECT_GT(remote.left(), local.right());
    EXPECT_EQ(log.left(), remote.left());
    EXPECT_GT(log.top(), remote.bottom());
    EXPECT_GT(queue.top(), log.bottom());
    EXPECT_GT(queue.top(), local.bottom());
    EXPECT_LE(queue.left(), local.left());
    EXPECT_GE(queue.right(), remote.right());
    EXPECT_GT(queue.width(), view.width() - 20);
    EXPECT_GT(rate.top(), queue.bottom());
    EXPECT_GT(rate.right(), view.width() - 10);
    EXPECT_GT(rate.left(), view.width() / 2);
    EXPECT_EQ(rate.width(), 216);
}

TEST_F(CftpViewLayout, TabsSitBetweenTheRemoteListAndTheLog)
{
    view.addSessionTab(QStringLiteral("127.0.0.1"));
    settle();
    const QRect tabs = at(ControlId::SessionTabs);
    EXPECT_GE(tabs.top(), at(ControlId::RemoteList).bottom());
    EXPECT_LT(tabs.bottom(), at(ControlId::Log).top());
    EXPECT_EQ(tabs.left(), at(ControlId::RemoteList).left());
}

TEST_F(CftpViewLayout, GrowingTheWindowGrowsTheRemoteListOnly)
{
    const QRect local = at(ControlId::LocalList);
    const QRect remote = at(ControlId::RemoteList);
    const QRect log = at(ControlId::Log);
    const QRect queue = at(ControlId::QueueList);

    view.resize(1400, 900);
    settle();

    EXPECT_EQ(at(ControlId::LocalList).width(), local.width());
    EXPECT_EQ(at(ControlId::LocalList).height(), local.height() + 100);
    EXPECT_EQ(at(ControlId::RemoteList).width(), remote.width() + 200);
    EXPECT_EQ(at(ControlId::RemoteList).height(), remote.height() + 100);
    EXPECT_EQ(at(ControlId::Log).height(), log.height());
    EXPECT_EQ(at(ControlId::Log).width(), log.width() + 200);
    EXPECT_EQ(at(ControlId::QueueList).height(), queue.height());
    EXPECT_EQ(at(ControlId::QueueList).width(), queue.width() + 200);
    EXPECT_GT(at(ControlId::RateField).right(), view.width() - 10);
}

TEST_F(CftpViewLayout, ColumnsFollowTheListWidths)
{
    view.resize(1400, 900);
    settle();
    const std::pair<const CMyListCtrl*, int> lists[] = {
        {view.localList(), 3}, {view.remoteList(), 2}, {view.queueList(), 3}};
    for (const auto& [list, margin] : lists) {
        const int columns = list->header()->count();
        const int expected = (list->viewport()->width() - margin) / columns;
        for (int column = 0; column < columns; ++column)
            EXPECT_EQ(list->header()->sectionSize(column), expected);
    }
}

TEST_F(CftpViewLayout, SplittersMoveThePaneBorders)
{
    auto* panes = control<QSplitter>(ControlId::PaneSplitter);
    QList<int> sizes = panes->sizes();
    sizes[0] += 100;
    sizes[1] -= 100;
    const int localWidth = at(ControlId::LocalList).width();
    panes->setSizes(sizes);
    settle();
    EXPECT_EQ(at(ControlId::LocalList).width(), localWidth + 100);
    EXPECT_EQ(at(ControlId::Log).left(), at(ControlId::RemoteList).left());
    EXPECT_EQ(control<QSplitter>(ControlId::LogSplitter)->orientation(), Qt::Vertical);
    EXPECT_EQ(control<QSplitter>(ControlId::QueueSplitter)->orientation(), Qt::Vertical);
    EXPECT_EQ(panes->orientation(), Qt::Horizontal);
}

} // namespace
