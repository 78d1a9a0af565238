#include "support/MenuDump.h"
#include "view/gui/CommandDispatcher.h"
#include "view/gui/ContextMenus.h"
#include "view/gui/MenuBuilder.h"

#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

QStringList dumpTable(const MenuItem& popup)
{
    CommandDispatcher commands;
    std::unique_ptr<QMenu> menu(MenuBuilder::createMenu(popup, commands, nullptr));
    return dumpMenu(menu.get());
}

TEST(CommandDispatcher, RunsTheHandlerRegisteredForAnId)
{
    CommandDispatcher commands;
    int runs = 0;
    commands.setHandler(32838, [&runs] { ++runs; });
    EXPECT_TRUE(commands.dispatch(32838));
    EXPECT_TRUE(commands.dispatch(32838));
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(commands.isHandled(32838));
}

TEST(CommandDispatcher, AcceptsACommandWithoutHandlerAndDoesNothing)
{
    CommandDispatcher commands;
    int runs = 0;
    commands.setHandler(32838, [&runs] { ++runs; });
    EXPECT_FALSE(commands.dispatch(32791));
    EXPECT_FALSE(commands.isHandled(32791));
    EXPECT_EQ(runs, 0);
}

TEST(CommandDispatcher, ALaterHandlerReplacesTheEarlierOne)
{
    CommandDispatcher commands;
    QString ran;
    commands.setHandler(57664, [&ran] { ran += QStringLiteral("first"); });
    commands.setHandler(57664, [&ran] { ran += QStringLiteral("second"); });
    commands.dispatch(57664);
    EXPECT_EQ(ran, QStringLiteral("second"));
}

TEST(CommandDispatcher, CommandsAreEnabledUnlessTheirRuleSaysNo)
{
    CommandDispatcher commands;
    bool selected = false;
    commands.setEnabledRule(32784, [&selected] { return selected; });
    EXPECT_TRUE(commands.isEnabled(32786));
    EXPECT_FALSE(commands.isEnabled(32784));
    selected = true;
    EXPECT_TRUE(commands.isEnabled(32784));
}

TEST(MenuBuilder, ActionsCarryTheirIdAndDispatchIt)
{
    CommandDispatcher commands;
    QList<int> dispatched;
    for (const int id : {1, 2, 3})
        commands.setHandler(id, [&dispatched, id] { dispatched << id; });
    const MenuItem table = MenuItem::popup(
        QStringLiteral("top"),
        {MenuItem::command(QStringLiteral("one"), 1), MenuItem::line(),
         MenuItem::popup(QStringLiteral("sub"), {MenuItem::command(QStringLiteral("two"), 2),
                                                 MenuItem::command(QStringLiteral("three"), 3)})});
    std::unique_ptr<QMenu> menu(MenuBuilder::createMenu(table, commands, nullptr));

    EXPECT_EQ(menu->title(), QStringLiteral("top"));
    EXPECT_EQ(dumpMenu(menu.get()),
              QStringList({QStringLiteral("one=1"), QStringLiteral("—"),
                           QStringLiteral("sub/two=2"), QStringLiteral("sub/three=3")}));
    MenuBuilder::findCommand(menu.get(), 3)->trigger();
    MenuBuilder::findCommand(menu.get(), 1)->trigger();
    EXPECT_EQ(dispatched, QList<int>({3, 1}));
    EXPECT_EQ(MenuBuilder::findCommand(menu.get(), 4), nullptr);
}

TEST(MenuBuilder, OpeningAMenuAsksTheEnabledRules)
{
    CommandDispatcher commands;
    bool connected = false;
    commands.setEnabledRule(32786, [&connected] { return connected; });
    std::unique_ptr<QMenu> menu(
        MenuBuilder::createMenu(ContextMenus::remoteList(), commands, nullptr));
    QAction* refresh = MenuBuilder::findCommand(menu.get(), 32786);
    QAction* newFolder = MenuBuilder::findCommand(menu.get(), 32799);

    Q_EMIT menu->aboutToShow();
    EXPECT_FALSE(refresh->isEnabled());
    EXPECT_TRUE(newFolder->isEnabled());

    connected = true;
    Q_EMIT menu->aboutToShow();
    EXPECT_TRUE(refresh->isEnabled());
}

TEST(MenuBuilder, FillsAMenuBarWithOneMenuPerPopup)
{
    CommandDispatcher commands;
    QMenuBar bar;
    MenuBuilder::fillMenuBar(&bar, {ContextMenus::tabs(), ContextMenus::log()}, commands);
    EXPECT_EQ(dumpMenu(&bar), QStringList({QStringLiteral("tab/关闭=32826"),
                                           QStringLiteral("edit/清空(&k)=32838")}));
}

struct ContextMenuCase {
    const char* name;
    MenuItem (*table)();
    QStringList lines;
};

void PrintTo(const ContextMenuCase& menu, std::ostream* out)
{
    *out << menu.name;
}

class ContextMenuTables : public ::testing::TestWithParam<ContextMenuCase> {};

TEST_P(ContextMenuTables, HoldEveryItemWithItsTextAndId)
{
    const ContextMenuCase& menu = GetParam();
    EXPECT_EQ(dumpTable(menu.table()), menu.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Resources, ContextMenuTables,
    ::testing::Values(
        ContextMenuCase{
            "list1_310",
            &ContextMenus::localList,
            {QStringLiteral("全选(&A)=32835"), QStringLiteral("上传(&U)/上传(&U)=32812"),
             QStringLiteral("上传(&U)/压缩并上传(&Z)=32804"), QStringLiteral("删除(&D)=32776"),
             QStringLiteral("打开文件(&O)=32778"), QStringLiteral("刷新(&E)=32779"),
             QStringLiteral("添加到队列(&T)=32787"), QStringLiteral("新建文件夹(&F)=32797"),
             QStringLiteral("重命名(&M)=32801"), QStringLiteral("属性(&R)=32814")}},
        ContextMenuCase{"list2_311",
                        &ContextMenus::remoteList,
                        {QStringLiteral("全选(&A)=32836"), QStringLiteral("下载/下载(L)=32780"),
                         QStringLiteral("下载/另存为(&R)=32827"), QStringLiteral("删除(&D)=32784"),
                         QStringLiteral("打开文件(&O)=32785"), QStringLiteral("刷新(&E)=32786"),
                         QStringLiteral("添加到队列(&R)=32792"),
                         QStringLiteral("新建文件夹(&F)=32799"), QStringLiteral("重命名(&M)=32800"),
                         QStringLiteral("修改路径(&P)=32816"),
                         QStringLiteral("压缩到当前文件夹=32829"),
                         QStringLiteral("解压到当前文件夹(覆盖)=32830")}},
        ContextMenuCase{"list3_314",
                        &ContextMenus::queueList,
                        {QStringLiteral("全选(&A)=32837"), QStringLiteral("开始(&G)=32793"),
                         QStringLiteral("暂停(&S)=32820"), QStringLiteral("移出队列(&D)=32794"),
                         QStringLiteral("清空队列(&Q)=32795"), QStringLiteral("全部开始(&B)=32798"),
                         QStringLiteral("全部暂停(&P)=32819"),
                         QStringLiteral("删除已完成(&T)=32824")}},
        ContextMenuCase{
            "ftplist_329", &ContextMenus::serverList, {QStringLiteral("删除(&D)=32825")}},
        ContextMenuCase{"tab_330", &ContextMenus::tabs, {QStringLiteral("关闭=32826")}},
        ContextMenuCase{"edit_335", &ContextMenus::log, {QStringLiteral("清空(&k)=32838")}}),
    [](const ::testing::TestParamInfo<ContextMenuCase>& param) { return param.param.name; });

TEST(ContextMenuTables, PopupsAreNamedAsTheirResources)
{
    EXPECT_EQ(ContextMenus::localList().text, QStringLiteral("list1"));
    EXPECT_EQ(ContextMenus::remoteList().text, QStringLiteral("list2"));
    EXPECT_EQ(ContextMenus::queueList().text, QStringLiteral("list3"));
    EXPECT_EQ(ContextMenus::serverList().text, QStringLiteral("ftplist"));
    EXPECT_EQ(ContextMenus::tabs().text, QStringLiteral("tab"));
    EXPECT_EQ(ContextMenus::log().text, QStringLiteral("edit"));
}

} // namespace
