#include "accounts/gui/CIDDlg.h"

#include "accounts/gui/RecordingPrompt.h"
#include "support/NamedCases.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

class CIDDlgTest : public testing::Test {
protected:
    QLineEdit* edit(int id) const
    {
        auto* found = dialog_.findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
        EXPECT_NE(found, nullptr) << "edit " << id;
        return found;
    }

    QPushButton* button(int id) const
    {
        auto* found = dialog_.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
        EXPECT_NE(found, nullptr) << "button " << id;
        return found;
    }

    void type(const QString& server, const QString& port, const QString& user,
              const QString& password) const
    {
        edit(1003)->setText(server);
        edit(1007)->setText(port);
        edit(1009)->setText(user);
        edit(1010)->setText(password);
    }

    void typeAndConfirm(const char* server, const char* port, const char* user,
                        const char* password) const
    {
        type(text(server), text(port), text(user), text(password));
        button(1)->click();
    }

    bool accepted() const { return !dialog_.isVisible() && dialog_.result() == QDialog::Accepted; }

    RecordingPrompt prompt_;
    CIDDlg dialog_{prompt_};
};

TEST_F(CIDDlgTest, StartsEmptyWithPort21)
{
    dialog_.show();
    EXPECT_EQ(dialog_.windowTitle(), text("账号信息"));
    EXPECT_EQ(edit(1003)->text(), QString());
    EXPECT_EQ(edit(1007)->text(), text("21"));
    EXPECT_EQ(edit(1009)->text(), QString());
    EXPECT_EQ(edit(1010)->text(), QString());
    EXPECT_EQ(edit(1010)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(button(1)->text(), text("确定"));
    EXPECT_TRUE(button(1)->isDefault());
    EXPECT_EQ(button(2)->text(), text("取消"));
    QStringList labels;
    for (const QLabel* label : dialog_.findChildren<QLabel*>())
        labels.append(label->text());
    EXPECT_EQ(labels,
              QStringList({text("服务器:"), text("用户名:"), text("端  口:"), text("密  码:")}));
}

TEST_F(CIDDlgTest, ValidAccountClosesWithItsValues)
{
    dialog_.show();
    typeAndConfirm("ftp.example", " 2121 ", "ann", "secret");
    EXPECT_TRUE(accepted());
    EXPECT_TRUE(prompt_.calls.isEmpty());
    EXPECT_EQ(dialog_.server(), text("ftp.example"));
    EXPECT_EQ(dialog_.port(), 2121);
    EXPECT_EQ(dialog_.user(), text("ann"));
    EXPECT_EQ(dialog_.password(), text("secret"));
}

TEST_F(CIDDlgTest, EnterConfirms)
{
    dialog_.show();
    type(text("h"), text("21"), text("u"), text("p"));
    QTest::keyClick(edit(1010), Qt::Key_Return);
    EXPECT_TRUE(accepted());
}

struct Refusal {
    const char* name;
    QString server;
    const char* port;
    const char* user;
    QString password;
    const char* message;
};

class CIDDlgRefusalTest : public CIDDlgTest, public testing::WithParamInterface<Refusal> {};

TEST_P(CIDDlgRefusalTest, ShowsTheFirstProblemWithoutCaptionAndStaysOpen)
{
    dialog_.show();
    type(GetParam().server, text(GetParam().port), text(GetParam().user), GetParam().password);
    button(1)->click();
    ASSERT_EQ(prompt_.calls.size(), 1);
    EXPECT_EQ(prompt_.calls[0].text, text(GetParam().message));
    EXPECT_TRUE(prompt_.calls[0].caption.isEmpty());
    EXPECT_EQ(prompt_.calls[0].buttons, PromptButtons::Ok);
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_NE(dialog_.result(), QDialog::Accepted);
}

const Refusal Refusals[] = {
    {"NothingFilled", {}, "0", "", {}, "服务器不能为空"},
    {"EmptyServer", {}, "21", "u", QStringLiteral("p"), "服务器不能为空"},
    {"PortZero", QStringLiteral("h"), "0", "", {}, "端口不能为空"},
    {"EmptyUser", QStringLiteral("h"), "21", "", {}, "用户名不能为空"},
    {"EmptyPassword", QStringLiteral("h"), "21", "u", {}, "密码不能为空"},
    {"LettersInPortBeforeEverythingElse", {}, "ftp", "", {}, "请输入一个整数。"},
    {"DigitsThenLetters", QStringLiteral("h"), "21x", "u", QStringLiteral("p"), "请输入一个整数。"},
    {"EmptyPort", QStringLiteral("h"), "", "u", QStringLiteral("p"), "请输入一个整数。"},
    {"NegativePort", QStringLiteral("h"), "-21", "u", QStringLiteral("p"), "请输入一个整数。"},
    {"PortTooLarge", QStringLiteral("h"), "65536", "u", QStringLiteral("p"),
     "请输入一个介于 0 和 65535 之间的整数。"},
    {"LineFeedInServer", QStringLiteral("a\nb"), "21", "u", QStringLiteral("p"),
     "服务器、用户名和密码不能包含换行符或空字符"},
    {"NulInPassword", QStringLiteral("h"), "21", "u", QStringLiteral("p") + QChar(0),
     "服务器、用户名和密码不能包含换行符或空字符"},
    {"UnsupportedScheme", QStringLiteral("http://h"), "21", "u", QStringLiteral("p"),
     "不支持的地址类型,请使用 ftp://、ftpes:// 或 sftp://"},
    {"BlankInServer", QStringLiteral("h h"), "21", "u", QStringLiteral("p"),
     "服务器地址中含有不允许的字符"},
};

INSTANTIATE_TEST_SUITE_P(Values, CIDDlgRefusalTest, testing::ValuesIn(Refusals), caseName);

TEST_F(CIDDlgTest, HighestPortIsAccepted)
{
    dialog_.show();
    typeAndConfirm("h", "65535", "u", "p");
    EXPECT_TRUE(accepted());
    EXPECT_EQ(dialog_.port(), 65535);
}

TEST_F(CIDDlgTest, LettersInThePortKeepTheDialogOpenAndTakeNoValues)
{
    dialog_.show();
    typeAndConfirm("first.example", "21", "ann", "one");
    ASSERT_TRUE(accepted());

    dialog_.show();
    EXPECT_EQ(edit(1003)->text(), text("first.example")) << "values are kept between uses";
    typeAndConfirm("second.example", "twenty", "bob", "two");
    EXPECT_EQ(prompt_.texts(), QStringList{text("请输入一个整数。")});
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(dialog_.server(), text("first.example"));
    EXPECT_EQ(dialog_.user(), text("ann"));
    EXPECT_TRUE(edit(1007)->hasSelectedText()) << "the port is selected for correction";

    edit(1007)->setText(QStringLiteral("2121"));
    button(1)->click();
    EXPECT_TRUE(accepted());
    EXPECT_EQ(dialog_.server(), text("second.example"));
    EXPECT_EQ(dialog_.port(), 2121);
    EXPECT_EQ(dialog_.password(), text("two"));
}

TEST_F(CIDDlgTest, CancelKeepsTheLastAcceptedValues)
{
    dialog_.setAccount(text("kept.example"), 990, text("ann"), text("pw"));
    dialog_.show();
    type(text("typed.example"), text("1"), text("x"), text("y"));
    button(2)->click();
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    EXPECT_EQ(dialog_.server(), text("kept.example"));
    dialog_.show();
    EXPECT_EQ(edit(1003)->text(), text("kept.example"));
    EXPECT_EQ(edit(1007)->text(), text("990"));
    EXPECT_EQ(edit(1010)->text(), text("pw"));
}

} // namespace
