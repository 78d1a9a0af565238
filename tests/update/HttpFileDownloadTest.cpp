#include "update/HttpFileDownload.h"
#include "update/LocalHttpServer.h"

#include "support/NamedCases.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using namedcases::caseName;
using namedcases::operator<<;

const DownloadLimits SmallLimits{100, 2000ms, 1500ms, 1s};

struct DownloadCase {
    const char* name;
    LocalHttpServer::Reply reply;
    bool fetched;
};

class HttpFileDownloadTest : public ::testing::TestWithParam<DownloadCase> {};

TEST_P(HttpFileDownloadTest, KeepsOnlyWholeBoundedBodies)
{
    LocalHttpServer server;
    server.serve("/f", GetParam().reply);
    TemporaryFolder folder(QStringLiteral("kevra-http"));
    const QString target = folder.filePath(QStringLiteral("f"));
    const std::atomic<bool> cancelled{false};
    HttpFileDownload http(cancelled);

    EXPECT_EQ(http.fetch(QString::fromLatin1(server.address() + "/f"), target, SmallLimits),
              GetParam().fetched)
        << http.errorText().toStdString();
    QFile file(target);
    if (GetParam().fetched) {
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), GetParam().reply.body);
    } else {
        EXPECT_FALSE(file.exists());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HttpFileDownloadTest,
    ::testing::Values(DownloadCase{"Whole", {200, "[updata]\r\n"}, true},
                      DownloadCase{"NotFound", {404, "gone"}, false},
                      DownloadCase{"NoContentLength", {200, "abc", false}, false},
                      DownloadCase{"LargerThanBound", {200, QByteArray(101, 'x')}, false},
                      DownloadCase{"ChunkedPastBound", {200, QByteArray(500, 'x'), false}, false},
                      DownloadCase{"NeverAnswers", {200, "x", true, true}, false}),
    caseName);

TEST(HttpFileDownload, AsksTheServerItselfAsHttpDownload)
{
    LocalHttpServer server;
    server.serve("/p", {200, "ok"});
    TemporaryFolder folder(QStringLiteral("kevra-http"));
    const std::atomic<bool> cancelled{false};
    HttpFileDownload http(cancelled);
    ASSERT_TRUE(http.fetch(QString::fromLatin1(server.address() + "/p"),
                           folder.filePath(QStringLiteral("p")), SmallLimits));

    const QByteArray head = server.requests().value(0);
    EXPECT_TRUE(head.startsWith("GET /p HTTP/1.1\r\n")) << head.toStdString();
    for (const char* line : {"\r\nUser-Agent: HttpDownload", "\r\nAccept:*/*",
                             "\r\nPragma: no-cache", "\r\nCache-Control: no-cache"})
        EXPECT_TRUE(head.contains(line)) << line;
    EXPECT_EQ(http.sha256Hex(), "2689367b205c16ce32ed4200942b8b8b1e262dfc70d9bc9fbc77c49699a4f1df");
}

} // namespace
