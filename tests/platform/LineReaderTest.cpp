#include "platform/LineReader.h"
#include "platform/TcpListener.h"
#include "platform/TcpSocket.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds wait{2000};

class LineReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TcpListener listener;
        ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
        ASSERT_TRUE(near.connect(QStringLiteral("127.0.0.1"), listener.port(), wait));
        far = listener.accept(wait);
        ASSERT_TRUE(far.isOpen());
    }

    void sendFar(const QByteArray& bytes)
    {
        ASSERT_TRUE(far.sendAll(bytes.constData(), bytes.size(), wait));
    }

    TcpSocket near;
    TcpSocket far;
    LineReader reader{near};
};

TEST_F(LineReaderTest, ReadsCrLfAndBareLfLines)
{
    sendFar("one\r\ntwo\nthree\r\n\r\n");
    QByteArray line;
    const QList<QByteArray> expected{"one", "two", "three", ""};
    for (const QByteArray& want : expected) {
        ASSERT_EQ(reader.readLine(line, wait), LineReader::Status::Line);
        EXPECT_EQ(line, want);
    }
}

TEST_F(LineReaderTest, KeepsACrThatIsNotBeforeTheLf)
{
    sendFar("a\rb\r\r\n");
    QByteArray line;
    ASSERT_EQ(reader.readLine(line, wait), LineReader::Status::Line);
    EXPECT_EQ(line, QByteArray("a\rb\r"));
}

TEST_F(LineReaderTest, JoinsALineSplitOverSeveralReceives)
{
    sendFar("220 hel");
    QByteArray line;
    EXPECT_EQ(reader.readLine(line, milliseconds(30)), LineReader::Status::TimedOut);
    sendFar("lo\r");
    sendFar("\n");
    ASSERT_EQ(reader.readLine(line, wait), LineReader::Status::Line);
    EXPECT_EQ(line, QByteArray("220 hello"));
}

TEST_F(LineReaderTest, ClosedConnectionEndsEvenInTheMiddleOfALine)
{
    sendFar("last\r\nunfinished");
    far.close();
    QByteArray line;
    ASSERT_EQ(reader.readLine(line, wait), LineReader::Status::Line);
    EXPECT_EQ(line, QByteArray("last"));
    EXPECT_EQ(reader.readLine(line, wait), LineReader::Status::Closed);
}

TEST_F(LineReaderTest, ResetIsAFailure)
{
    far.closeWithReset();
    QByteArray line;
    EXPECT_EQ(reader.readLine(line, wait), LineReader::Status::Failed);
}

TEST_F(LineReaderTest, LineOfTheMaximumLengthIsRead)
{
    const QByteArray longest(LineReader::maxLineLength, 'm');
    sendFar(longest + "\r\nnext\r\n");
    QByteArray line;
    ASSERT_EQ(reader.readLine(line, wait), LineReader::Status::Line);
    EXPECT_EQ(line, longest);
    ASSERT_EQ(reader.readLine(line, wait), LineReader::Status::Line);
    EXPECT_EQ(line, QByteArray("next"));
}

TEST_F(LineReaderTest, LongerLinesFailWithoutHoldingThem)
{
    sendFar(QByteArray(LineReader::maxLineLength + 1, 'x') + "\r\n");
    QByteArray line;
    EXPECT_EQ(reader.readLine(line, wait), LineReader::Status::TooLong);
    EXPECT_TRUE(line.isEmpty());
}

TEST_F(LineReaderTest, EndlessLineWithoutLfFailsOnceTheBoundIsPassed)
{
    const QByteArray chunk(1024 * 1024, 'y');
    ASSERT_TRUE(far.sendAll(chunk.constData(), chunk.size(), wait));
    QByteArray line;
    EXPECT_EQ(reader.readLine(line, wait), LineReader::Status::TooLong);
}

TEST_F(LineReaderTest, SilentPeerTimesOutAndLaterDataIsStillRead)
{
    QByteArray line;
    EXPECT_EQ(reader.readLine(line, milliseconds(40)), LineReader::Status::TimedOut);
    sendFar("late\r\n");
    ASSERT_EQ(reader.readLine(line, wait), LineReader::Status::Line);
    EXPECT_EQ(line, QByteArray("late"));
}

TEST_F(LineReaderTest, WritesTextFollowedByCrLf)
{
    ASSERT_TRUE(reader.writeLine("USER anonymous", wait));
    char buffer[64] = {};
    qint64 got = 0;
    // The 16 bytes may come in pieces; the bound only guards the test.
    for (int i = 0; i < 16 && got < 16; ++i)
        got += far.receive(buffer + got, sizeof buffer - got, wait);
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(got)), QByteArray("USER anonymous\r\n"));
}

} // namespace
