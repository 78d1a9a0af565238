#include "app/gui/CftpApp.h"
#include "app/InitialGeometry.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/VisualStyle.h"
#include "platform/Prompt.h"
#include "support/ProfileSandbox.h"
#include "view/gui/CftpView.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RecordingPrompt : public Prompt {
public:
    PromptAnswer ask(const QString& text, const QString&, PromptButtons) override
    {
        asked << text;
        return PromptAnswer::Ok;
    }
    QStringList asked;
};

class CftpAppTest : public ::testing::Test {
protected:
    ~CftpAppTest() override { VisualStyle::apply(VisualStyle::DefaultLook); }

    ProfileSandbox profile;
    QTemporaryDir documents;
    RecordingPrompt prompt;
};

TEST_F(CftpAppTest, OpensTheMainWindowMaximisedWithItsTitle)
{
    CftpApp app(prompt, documents.path());
    app.InitInstance();
    CMainFrame* frame = app.mainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("KEVRA"));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("KEVRA"));
    EXPECT_TRUE(prompt.asked.isEmpty());
}

TEST_F(CftpAppTest, WindowHasTheIconAndAPlaceForWhenItIsNotMaximised)
{
    CftpApp app(prompt, documents.path());
    app.InitInstance();
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(256, 256)));
    CMainFrame* frame = app.mainFrame();
    frame->showNormal();
    // The test screen is narrower than the view needs, which widens the window to the right.
    QRect expected = initialWindowGeometry(frame->screen()->availableGeometry());
    expected.setSize(expected.size().expandedTo(frame->minimumSizeHint()));
    EXPECT_EQ(frame->geometry(), expected);
}

TEST_F(CftpAppTest, CreatesTheWorkFolderAndReadsItsConfiguration)
{
    ASSERT_TRUE(QDir(documents.path()).mkpath(QStringLiteral("ftpwork")));
    QFile ini(documents.filePath(QStringLiteral("ftpwork/ftp.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[AddresCount]\r\nCount=2\r\n[Addres]\r\nA1=one.example\r\nA2=two.example\r\n");
    ini.close();

    CftpApp app(prompt, documents.path());
    app.InitInstance();
    CftpView* view = app.mainFrame()->view();
    ASSERT_EQ(view->serverBox()->count(), 2);
    EXPECT_EQ(view->serverBox()->itemText(0), QStringLiteral("two.example"));
    EXPECT_EQ(view->serverBox()->itemText(1), QStringLiteral("one.example"));
    EXPECT_EQ(view->host(), QString());
    EXPECT_EQ(view->port(), 21);
    EXPECT_EQ(view->configuration().workPath,
              QDir(documents.path()).filePath(QStringLiteral("ftpwork")) + QLatin1Char('/'));
}

TEST_F(CftpAppTest, AFreshDocumentsFolderGetsItsWorkFolder)
{
    CftpApp app(prompt, documents.path());
    app.InitInstance();
    EXPECT_TRUE(QDir(documents.filePath(QStringLiteral("ftpwork"))).exists());
    EXPECT_EQ(app.mainFrame()->view()->serverBox()->count(), 0);
}

TEST_F(CftpAppTest, TellsTheUserWhenThereIsNoDocumentsFolder)
{
    CftpApp app(prompt, QString());
    app.InitInstance();
    EXPECT_EQ(prompt.asked, QStringList{QStringLiteral("获取路径失败")});
    EXPECT_TRUE(app.mainFrame()->isVisible());
}

TEST_F(CftpAppTest, StartsWithTheStoredLook)
{
    VisualStyle::storeLook(218);
    CftpApp app(prompt, documents.path());
    app.InitInstance();
    EXPECT_EQ(app.mainFrame()->currentLook(), 218);
}

} // namespace
