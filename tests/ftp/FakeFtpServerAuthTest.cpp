// Scripts written for plain clients keep working when a client tries TLS first: the scripted
// server answers AUTH as vsftpd without TLS does, unless the script expects AUTH itself.

#include "platform/LineReader.h"
#include "platform/TcpSocket.h"
#include "support/FakeFtpServer.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

QByteArray exchange(LineReader& reader, const QByteArray& command)
{
    QByteArray reply;
    if (!reader.writeLine(command, milliseconds(2000)) ||
        reader.readLine(reply, milliseconds(2000)) != LineReader::Status::Line)
        return "no reply";
    return reply;
}

TEST(FakeFtpServerAuthTest, AuthIsRefusedUnlessTheScriptExpectsIt)
{
    FakeFtpServer server;
    server.start([](FakeFtpSession& s) {
        s.send("220 ready");
        s.exchange("USER u", "331 password");
        s.exchange("AUTH TLS", "502 scripted");
    });
    TcpSocket socket;
    ASSERT_TRUE(socket.connect(server.address(), server.port(), milliseconds(2000)));
    LineReader reader(socket);
    QByteArray greeting;
    ASSERT_EQ(reader.readLine(greeting, milliseconds(2000)), LineReader::Status::Line);

    EXPECT_EQ(exchange(reader, "AUTH TLS"), "530 Please login with USER and PASS.");
    EXPECT_EQ(exchange(reader, "USER u"), "331 password");
    EXPECT_EQ(exchange(reader, "AUTH TLS"), "502 scripted");
    socket.close();
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.failures().isEmpty()) << server.failures().join(u'\n').toStdString();
    EXPECT_EQ(server.commands(), (QList<QByteArray>{"AUTH TLS", "USER u", "AUTH TLS"}));
}

} // namespace
