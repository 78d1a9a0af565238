#include "app/QtChineseTexts.h"
#include "app/gui/CAboutDlg.h"
#include "app/gui/CaptionWidth.h"
#include "app/gui/CftpApp.h"
#include "app/gui/MessageBoxCaptionFit.h"
#include "app/gui/VisualStyle.h"
#include "platform/gui/MessageBoxPrompt.h"
#include "support/ModalDialogs.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

class StandardTextsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QtChineseTexts::install(*QCoreApplication::instance()));
        MessageBoxCaptionFit::install();
    }
};

TEST_F(StandardTextsTest, PromptButtonsReadChinese)
{
    // The buttons' texts, sorted, without access keys.
    const std::pair<PromptButtons, const char*> cases[] = {{PromptButtons::Ok, "确定"},
                                                           {PromptButtons::YesNo, "否|是"}};
    for (const auto& [buttons, expected] : cases) {
        QStringList texts;
        OnNextModal<QMessageBox>([&](QMessageBox& box) {
            for (QAbstractButton* button : box.buttons())
                texts << button->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
            box.buttons().constFirst()->click();
        });
        MessageBoxPrompt().ask(QStringLiteral("尚未连接"), QStringLiteral("发现同名文件"), buttons);
        texts.sort();
        EXPECT_EQ(texts.join(u'|'), QString::fromUtf8(expected));
    }
}

// A long caption over a one-word text: the box grows to the caption, not past the screen.
TEST_F(StandardTextsTest, BoxesGrowToTheirCaptionWithinTheScreen)
{
    for (const int repeat : {1, 4, 200}) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("覆盖").repeated(repeat),
                        QStringLiteral("好"), QMessageBox::Ok);
        box.show();
        const int screenWidth = box.screen()->availableGeometry().width();
        EXPECT_GE(box.width(), qMin(CaptionWidth(box.windowTitle()), screenWidth * 9 / 10))
            << repeat;
        EXPECT_LE(box.width(), screenWidth) << repeat;
        box.hide();
    }
}

TEST_F(StandardTextsTest, AboutBoxShowsItsTitleAndTextWhole)
{
    CAboutDlg about;
    about.show();
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于 KEVRA"));
    EXPECT_GE(about.width(), CaptionWidth(about.windowTitle()));
    const auto* text = about.findChild<QLabel*>(QStringLiteral("versionText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("2014 VER:1.0版"));
    EXPECT_GE(text->width(), text->sizeHint().width());
    about.hide();
}

TEST(StandardTextsStartUpTest, StartUpTranslatesStandardButtonsAndEditFieldMenus)
{
    ProfileSandbox profile;
    TemporaryFolder documents(QStringLiteral("standardtexts"));
    ScriptedPrompt prompt;
    CftpApp app(prompt, documents.path());
    app.InitInstance();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (const QAction* action : menu->actions())
        items << action->text();
    EXPECT_TRUE(items.join(u'|').contains(QStringLiteral("粘贴")))
        << items.join(u'|').toStdString();
    VisualStyle::apply(VisualStyle::DefaultLook);
}

} // namespace
