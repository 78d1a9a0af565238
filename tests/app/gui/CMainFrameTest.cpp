#include "app/gui/CMainFrame.h"
#include "app/gui/VisualStyle.h"
#include "support/ProfileSandbox.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

int storedLookValue()
{
    return QSettings(QStringLiteral("KEVRA"), QStringLiteral("KEVRA"))
        .value(QStringLiteral("ApplicationLook"), -1)
        .toInt();
}

QList<int> checkedLooks(const CMainFrame& frame)
{
    QList<int> checked;
    for (const int id : VisualStyle::lookIds()) {
        const QAction* look = frame.commandAction(id);
        if (look != nullptr && look->isChecked())
            checked << id;
    }
    return checked;
}

class CMainFrameTest : public ::testing::Test {
protected:
    ~CMainFrameTest() override { VisualStyle::apply(VisualStyle::DefaultLook); }

    ProfileSandbox profile;
    std::unique_ptr<CMainFrame> frame = std::make_unique<CMainFrame>();
};

TEST_F(CMainFrameTest, StartsWithTheDefaultLookWhenNoneIsStored)
{
    EXPECT_EQ(frame->currentLook(), 210);
    EXPECT_EQ(checkedLooks(*frame), QList<int>{210});
    EXPECT_EQ(QApplication::palette().color(QPalette::Window),
              VisualStyle::palette(210).color(QPalette::Window));
}

TEST_F(CMainFrameTest, ChoosingALookAppliesMarksAndStoresIt)
{
    for (const int id : {205, 206, 207, 208, 209, 210, 215, 216, 217, 218}) {
        SCOPED_TRACE(id);
        frame->commandAction(id)->trigger();
        EXPECT_EQ(frame->currentLook(), id);
        EXPECT_EQ(storedLookValue(), id);
        EXPECT_EQ(checkedLooks(*frame), QList<int>{id});
        EXPECT_EQ(QApplication::style()->name().toLower(), VisualStyle::styleName(id).toLower());
        EXPECT_EQ(QApplication::palette().color(QPalette::Highlight),
                  VisualStyle::palette(id).color(QPalette::Highlight));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(CMainFrameTest, ChoosingTheCurrentLookAgainKeepsItsMark)
{
    frame->commandAction(216)->trigger();
    frame->commandAction(216)->trigger();
    EXPECT_EQ(checkedLooks(*frame), QList<int>{216});
}

TEST_F(CMainFrameTest, ANewFrameRestoresTheStoredLook)
{
    frame->commandAction(217)->trigger();
    frame.reset();
    VisualStyle::apply(205);

    CMainFrame next;
    EXPECT_EQ(next.currentLook(), 217);
    EXPECT_EQ(checkedLooks(next), QList<int>{217});
    EXPECT_EQ(QApplication::palette().color(QPalette::Window),
              VisualStyle::palette(217).color(QPalette::Window));
}

TEST_F(CMainFrameTest, WindowsSevenIsReachedThroughTheStyleApi)
{
    frame->setLook(219);
    EXPECT_EQ(storedLookValue(), 219);
    EXPECT_TRUE(checkedLooks(*frame).isEmpty());
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("windows"));
    frame->view()->commands().dispatch(209);
    EXPECT_EQ(checkedLooks(*frame), QList<int>{209});
}

TEST_F(CMainFrameTest, AForeignStoredLookMarksNothing)
{
    frame.reset();
    QSettings(QStringLiteral("KEVRA"), QStringLiteral("KEVRA"))
        .setValue(QStringLiteral("ApplicationLook"), 4711);
    CMainFrame next;
    EXPECT_EQ(next.currentLook(), 4711);
    EXPECT_TRUE(checkedLooks(next).isEmpty());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window),
              VisualStyle::palette(215).color(QPalette::Window));
}

TEST_F(CMainFrameTest, StatusBarShowsReadyAndTheLockIndicators)
{
    const auto* message = frame->statusBar()->findChild<QLabel*>(QStringLiteral("messagePane"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), QStringLiteral("就绪"));
    const std::pair<const char*, const char*> indicators[] = {
        {"capsLockPane", "CAPS"}, {"numLockPane", "NUM"}, {"scrollLockPane", "SCRL"}};
    int previousLeft = -1;
    frame->show();
    QCoreApplication::processEvents();
    for (const auto& [name, text] : indicators) {
        const auto* pane = frame->statusBar()->findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(pane, nullptr) << name;
        EXPECT_EQ(pane->text(), QLatin1String(text));
        EXPECT_GT(pane->x(), previousLeft) << name; // in this order from left to right
        EXPECT_GT(pane->x(), message->x()) << name;
        previousLeft = pane->x();
    }
}

TEST_F(CMainFrameTest, StatusBarCommandTogglesTheBar)
{
    QAction* toggle = frame->commandAction(CommandId::StatusBar);
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_FALSE(frame->statusBar()->isHidden());
    toggle->trigger();
    EXPECT_TRUE(frame->statusBar()->isHidden());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(frame->statusBar()->isHidden());
    EXPECT_TRUE(toggle->isChecked());
}

TEST_F(CMainFrameTest, AboutBoxShowsTheVersion)
{
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        if (const auto* label = box->findChild<QLabel*>(QStringLiteral("versionText")))
            text = label->text();
        auto* buttons = box->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
        buttons->button(QDialogButtonBox::Ok)->click();
    });
    frame->commandAction(CommandId::About)->trigger();
    EXPECT_EQ(title, QStringLiteral("关于 KEVRA"));
    EXPECT_EQ(text, QStringLiteral("2014 VER:1.0版"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(CMainFrameTest, ExitEndsTheProcessWithCodeZero)
{
    QList<int> codes;
    frame->setTerminate([&codes](int code) { codes << code; });
    frame->commandAction(CommandId::Exit)->trigger();
    EXPECT_EQ(codes, QList<int>{0});
}

TEST_F(CMainFrameTest, ClearLogFromTheLogMenuReachesTheView)
{
    frame->view()->AppendLog(QStringLiteral("连接成功\r\n"));
    frame->view()->commands().dispatch(CommandId::ClearLog);
    EXPECT_EQ(frame->view()->logText(), QString());
}

TEST_F(CMainFrameTest, F6MovesTheFocusBetweenThePanes)
{
    frame->show();
    QApplication::setActiveWindow(frame.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    frame->view()->serverBox()->setFocus();
    QTest::keyClick(frame.get(), Qt::Key_F6);
    EXPECT_EQ(QApplication::focusWidget(), frame->view()->localList());
    QTest::keyClick(frame.get(), Qt::Key_F6);
    EXPECT_EQ(QApplication::focusWidget(), frame->view()->remoteList());
    QTest::keyClick(frame.get(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), frame->view()->localList());
    QTest::keyClick(frame.get(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), frame->view()->queueList());
}

} // namespace
