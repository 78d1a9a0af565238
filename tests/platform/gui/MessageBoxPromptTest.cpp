#include "platform/gui/MessageBoxPrompt.h"

#include "support/ModalDialogs.h"
#include "support/NamedCases.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

struct Seen {
    QString text;
    QString title;
    QMessageBox::StandardButtons buttons;
    bool onGuiThread = false;
};

// Answers the next message box with the given button and notes what it showed.
void answerNextBox(QMessageBox::StandardButton answer, Seen& seen)
{
    OnNextModal<QMessageBox>([answer, &seen](QMessageBox& box) {
        seen = {box.text(), box.windowTitle(), box.standardButtons(),
                QThread::currentThread() == qApp->thread()};
        box.button(answer)->click();
    });
}

TEST(MessageBoxPromptTest, ShowsTheTextWithAnOkButton)
{
    MessageBoxPrompt prompt;
    Seen seen;
    answerNextBox(QMessageBox::Ok, seen);
    EXPECT_EQ(
        prompt.ask(QStringLiteral("添加失败"), QStringLiteral("KEVRA test"), PromptButtons::Ok),
        PromptAnswer::Ok);
    EXPECT_EQ(seen.text, QStringLiteral("添加失败"));
    EXPECT_EQ(seen.title, QStringLiteral("KEVRA test"));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(MessageBoxPromptTest, BoxWithoutCaptionTakesTheApplicationName)
{
    const QString savedName = QApplication::applicationDisplayName();
    QApplication::setApplicationDisplayName(QStringLiteral("KEVRA"));
    MessageBoxPrompt prompt;
    Seen seen;
    answerNextBox(QMessageBox::Ok, seen);
    prompt.tell(QStringLiteral("端口不能为空"));
    QApplication::setApplicationDisplayName(savedName);
    EXPECT_EQ(seen.title, QStringLiteral("KEVRA"));
}

struct AnswerCase {
    const char* name;
    QMessageBox::StandardButton button;
    PromptAnswer answer;
};

class MessageBoxPromptAnswerTest : public testing::TestWithParam<AnswerCase> {};

TEST_P(MessageBoxPromptAnswerTest, YesNoQuestionGivesTheChosenAnswer)
{
    QWidget window;
    MessageBoxPrompt prompt(&window);
    Seen seen;
    answerNextBox(GetParam().button, seen);
    EXPECT_EQ(prompt.ask(QStringLiteral("是否覆盖?"), QStringLiteral("提示"), PromptButtons::YesNo),
              GetParam().answer);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
}

INSTANTIATE_TEST_SUITE_P(Buttons, MessageBoxPromptAnswerTest,
                         testing::Values(AnswerCase{"Yes", QMessageBox::Yes, PromptAnswer::Yes},
                                         AnswerCase{"No", QMessageBox::No, PromptAnswer::No}),
                         caseName);

struct TrustCase {
    const char* name;
    std::function<void(QMessageBox&)> act;
    PromptAnswer answer;
};

std::function<void(QMessageBox&)> clickButton(const QString& text)
{
    return [text](QMessageBox& box) {
        for (QAbstractButton* button : box.buttons()) {
            if (button->text() == text)
                button->click();
        }
    };
}

std::function<void(QMessageBox&)> pressKey(Qt::Key key)
{
    return [key](QMessageBox& box) { QTest::keyClick(&box, key); };
}

class MessageBoxPromptTrustTest : public testing::TestWithParam<TrustCase> {};

// Only a click on one of the two trusting buttons trusts; every other way out refuses.
TEST_P(MessageBoxPromptTrustTest, TrustChoiceGivesTheChosenAnswer)
{
    QWidget window;
    MessageBoxPrompt prompt(&window);
    QStringList shown;
    OnNextModal<QMessageBox>([&shown](QMessageBox& box) {
        for (const QAbstractButton* button : box.buttons())
            shown << button->text();
        GetParam().act(box);
    });
    EXPECT_EQ(prompt.ask(QStringLiteral("证书"), QStringLiteral("证书验证失败"),
                         PromptButtons::TrustChoice),
              GetParam().answer);
    shown.sort();
    EXPECT_EQ(shown, QStringList({QStringLiteral("仅此一次"), QStringLiteral("总是信任"),
                                  QStringLiteral("拒绝")}));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MessageBoxPromptTrustTest,
    testing::Values(
        TrustCase{"Always", clickButton(QStringLiteral("总是信任")), PromptAnswer::TrustAlways},
        TrustCase{"Once", clickButton(QStringLiteral("仅此一次")), PromptAnswer::TrustOnce},
        TrustCase{"Refuse", clickButton(QStringLiteral("拒绝")), PromptAnswer::No},
        TrustCase{"Escape", pressKey(Qt::Key_Escape), PromptAnswer::No},
        TrustCase{"Enter", pressKey(Qt::Key_Return), PromptAnswer::No},
        TrustCase{"Closed", [](QMessageBox& box) { box.close(); }, PromptAnswer::No}),
    caseName);

TEST(MessageBoxPromptTest, WorkerThreadWaitsForTheAnswerGivenOnTheGuiThread)
{
    MessageBoxPrompt prompt;
    std::atomic<bool> answered{false};
    bool answeredBeforeClick = true;
    Seen seen;
    OnNextModal<QMessageBox>([&](QMessageBox& box) {
        QThread::msleep(50);
        answeredBeforeClick = answered;
        seen = {box.text(), box.windowTitle(), box.standardButtons(),
                box.thread() == qApp->thread()};
        box.button(QMessageBox::Yes)->click();
    });
    PromptAnswer answer = PromptAnswer::No;
    std::thread worker([&] {
        answer = prompt.ask(QStringLiteral("删除?"), QString(), PromptButtons::YesNo);
        answered = true;
    });
    QElapsedTimer waited;
    waited.start();
    while (!answered && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    const bool finished = answered;
    if (QWidget* stillOpen = QApplication::activeModalWidget(); !finished && stillOpen)
        stillOpen->close();
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_FALSE(answeredBeforeClick) << "the worker waits while the box is open";
    EXPECT_TRUE(seen.onGuiThread);
    EXPECT_EQ(seen.text, QStringLiteral("删除?"));
    EXPECT_EQ(answer, PromptAnswer::Yes);
}

// After the event loop has ended nobody answers: a worker still asking must not keep the GUI
// thread, which waits for its workers at shutdown, from finishing.
TEST(MessageBoxPromptTest, WorkerQuestionsAfterTheEventLoopEndedGetNoAtOnce)
{
    MessageBoxPrompt prompt;
    ASSERT_TRUE(QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection));
    PromptAnswer yesNo = PromptAnswer::Yes;
    PromptAnswer ok = PromptAnswer::No;
    PromptAnswer trust = PromptAnswer::TrustAlways;
    std::thread worker([&] {
        yesNo = prompt.ask(QStringLiteral("覆盖?"), QString(), PromptButtons::YesNo);
        ok = prompt.ask(QStringLiteral("提示"), QString(), PromptButtons::Ok);
        trust = prompt.ask(QStringLiteral("证书"), QString(), PromptButtons::TrustChoice);
    });
    worker.join(); // with a live wait for the GUI thread this would never return
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(yesNo, PromptAnswer::No);
    EXPECT_EQ(ok, PromptAnswer::Ok);
    EXPECT_EQ(trust, PromptAnswer::No);
}

} // namespace
