#include "app/gui/CMainFrame.h"
#include "support/ProfileSandbox.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/ContextMenus.h"
#include "view/gui/MenuBuilder.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class StatusPromptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    }

    QString shown() const { return frame.statusBar()->currentMessage(); }

    // Opens the menu bar's popup holding the command and highlights the command in it.
    void highlightInMenuBar(int id)
    {
        QAction* command = frame.commandAction(id);
        ASSERT_NE(command, nullptr);
        auto* popup = qobject_cast<QMenu*>(command->parent());
        ASSERT_NE(popup, nullptr);
        frame.menuBar()->setActiveAction(popup->menuAction());
        ASSERT_TRUE(QTest::qWaitFor([popup] { return popup->isVisible(); }, 2000));
        popup->setActiveAction(command);
    }

    ProfileSandbox profile;
    CMainFrame frame;
};

TEST_F(StatusPromptTest, AddAccountExplainsItselfAndOtherItemsLeaveTheReadyText)
{
    highlightInMenuBar(CommandId::AddAccount);
    EXPECT_EQ(shown(), QStringLiteral("添加一个ftp账号"));

    highlightInMenuBar(CommandId::Exit);
    EXPECT_EQ(shown(), QString());
    frame.menuBar()->setActiveAction(nullptr);
    const auto* ready = frame.statusBar()->findChild<QLabel*>(QStringLiteral("messagePane"));
    ASSERT_NE(ready, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([ready] { return ready->isVisible(); }, 2000));
}

// A context menu is a window of its own; its prompts still reach the frame's status bar.
TEST_F(StatusPromptTest, ContextMenuPromptsReachTheStatusBar)
{
    std::unique_ptr<QMenu> menu(
        MenuBuilder::createMenu(ContextMenus::serverList(), frame.view()->commands(), nullptr));
    menu->popup(frame.geometry().center());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    QAction* remove = MenuBuilder::findCommand(menu.get(), CommandId::ServerListDelete);
    ASSERT_NE(remove, nullptr);

    menu->setActiveAction(remove);
    EXPECT_EQ(shown(), QStringLiteral("删除该项"));
    menu->setActiveAction(nullptr);
    EXPECT_EQ(shown(), QString());
    menu->hide();
}

} // namespace
