#include "update/HttpFileDownload.h"
#include "update/LocalHttpServer.h"

#include "support/NamedCases.h"
#include "support/TemporaryFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using namedcases::caseName;
using namedcases::operator<<;

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

    EXPECT_EQ(http.fetch(QString::fromLatin1(server.address() + "/f"), target,
                         DownloadLimits{100, 2000ms, 1500ms, 1s}),
              GetParam().fetched)
        << http.errorText().toStdString();
    const QByteArray head = server.requests().value(0);
    EXPECT_TRUE(head.startsWith("GET /f HTTP/1.1\r\n")) << head.toStdString();
    for (const char* line : {"\r\nUser-Agent: HttpDownload", "\r\nAccept:*/*",
                             "\r\nPragma: no-cache", "\r\nCache-Control: no-cache"})
        EXPECT_TRUE(head.contains(line)) << line;
    QFile file(target);
    EXPECT_EQ(file.open(QIODevice::ReadOnly), GetParam().fetched);
    if (GetParam().fetched) {
        EXPECT_EQ(file.readAll(), GetParam().reply.body);
        EXPECT_EQ(
            http.sha256Hex(),
            QCryptographicHash::hash(GetParam().reply.body, QCryptographicHash::Sha256).toHex());
    }
}

// A missing file and one without a length are covered through the self-update.
INSTANTIATE_TEST_SUITE_P(
    Replies, HttpFileDownloadTest,
    ::testing::Values(DownloadCase{"Whole", {200, "[updata]\r\n"}, true},
                      DownloadCase{"LargerThanBound", {200, QByteArray(101, 'x')}, false},
                      DownloadCase{"ChunkedPastBound", {200, QByteArray(500, 'x'), false}, false},
                      DownloadCase{"NeverAnswers", {200, "x", true, true}, false}),
    caseName);

} // namespace
