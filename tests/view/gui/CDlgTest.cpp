#include "view/gui/CDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class CDlgTest : public ::testing::Test {
protected:
    QLineEdit* edit() const { return dialog.findChild<QLineEdit*>(QStringLiteral("ctl1002")); }
    QPushButton* button(int id) const
    {
        return dialog.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
    }

    CDlg dialog;
};

TEST_F(CDlgTest, HasItsCaptionEditAndTwoButtons)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("变更信息"));
    ASSERT_NE(edit(), nullptr);
    ASSERT_NE(button(1), nullptr);
    ASSERT_NE(button(8), nullptr);
    EXPECT_EQ(button(1)->text(), QStringLiteral("确定"));
    EXPECT_EQ(button(8)->text(), QStringLiteral("取消"));
    EXPECT_TRUE(button(1)->isDefault());
    EXPECT_FALSE(button(8)->isDefault());
}

TEST_F(CDlgTest, ShowsThePresetTextAndEnterTakesTheTypedOne)
{
    dialog.setText(QStringLiteral("old name"));
    dialog.show();
    EXPECT_EQ(edit()->text(), QStringLiteral("old name"));
    edit()->setText(QStringLiteral("new name"));
    EXPECT_EQ(dialog.text(), QStringLiteral("old name"));
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.text(), QStringLiteral("new name"));
}

TEST_F(CDlgTest, CancelKeepsTheTextMember)
{
    dialog.setText(QStringLiteral("kept"));
    dialog.show();
    edit()->setText(QStringLiteral("typed"));
    button(8)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.text(), QStringLiteral("kept"));
    dialog.show();
    EXPECT_EQ(edit()->text(), QStringLiteral("kept"));
}

TEST_F(CDlgTest, AnEmptyPresetShowsAnEmptyEdit)
{
    dialog.setText(QStringLiteral("first"));
    dialog.show();
    button(1)->click();
    dialog.setText(QString());
    dialog.show();
    EXPECT_TRUE(edit()->text().isEmpty());
}

} // namespace
