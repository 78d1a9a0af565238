#include "view/LogonRecord.h"

#include "support/NamedCases.h"

#include <gtest/gtest.h>

namespace {

using namedcases::caseName;
using namedcases::operator<<;

struct LogonCase {
    const char* name;
    const char* host;     // as the server box held it
    int port;             // as the port field held it
    const char* expected; // host|port|mode (0 plain, 1 opportunistic, 2 required)
};

class LogonRecordTest : public ::testing::TestWithParam<LogonCase> {};

// What workers and sessions log on with comes from the one record they share.
TEST_P(LogonRecordTest, LogonInfoTakesHostModeAndPortFromTheServerText)
{
    const LogonRecord record{QString::fromUtf8(GetParam().host), QStringLiteral("alice"),
                             GetParam().port, QStringLiteral("pw")};
    const LogonInfo info = record.logonInfo();
    EXPECT_EQ(QStringLiteral("%1|%2|%3")
                  .arg(info.host)
                  .arg(info.port)
                  .arg(static_cast<int>(info.tlsMode)),
              QString::fromUtf8(GetParam().expected));
    EXPECT_EQ(info.user, QStringLiteral("alice"));
    EXPECT_EQ(info.password, QStringLiteral("pw"));
}

INSTANTIATE_TEST_SUITE_P(
    Records, LogonRecordTest,
    ::testing::Values(LogonCase{"Bare", "127.0.0.1", 2121, "127.0.0.1|2121|1"},
                      LogonCase{"Plain", "ftp://example.com", 21, "example.com|21|0"},
                      LogonCase{"Required", "ftpes://example.com", 21, "example.com|21|2"},
                      LogonCase{"PortInTheText", "ftpes://[::1]:990", 21, "::1|990|2"}),
    caseName);

} // namespace
