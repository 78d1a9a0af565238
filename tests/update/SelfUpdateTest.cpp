#include "update/SelfUpdate.h"
#include "update/LocalHttpServer.h"

#include "ftp/IntegrationSupport.h"
#include "support/NamedCases.h"
#include "support/RunProgram.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using namedcases::caseName;
using namedcases::operator<<;

const QByteArray OldProgram = "#!/bin/sh\necho old\n";
const QByteArray NewProgram = "#!/bin/sh\necho new\n";
const QString Question = QStringLiteral("检测到新版本 VER：1.01是否更新");
const QString Updated = QStringLiteral("更新成功，重启后生效");
const QString NoAddress = QStringLiteral("获取更新地址失败");

enum class Program { Served, Missing, WithoutLength, Oversized, WrongSha, NoUrl };

QByteArray output(const QString& program)
{
    return runProgram(program, {}, 5000).output;
}

class SelfUpdateFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(integration::writeFile(files.runningFile, OldProgram));
        QFile::setPermissions(files.runningFile,
                              QFile::permissions(files.runningFile) | QFile::ExeOwner);
        nameServer(server.address());
    }

    void nameServer(const QByteArray& address)
    {
        ASSERT_TRUE(integration::writeFile(configPath, "[UPdata]\r\nserver=" + address + "\r\n"));
    }

    void servePage(const QByteArray& version, const QByteArray& url, const QByteArray& sha = {})
    {
        server.serve("/updata/updata.html", {200, "[updata]\r\nVersion=" + version + "\r\nURL=" +
                                                      url + "\r\nSHA256=" + sha + "\r\n"});
    }

    SelfUpdate& make(QString builtIn = QString())
    {
        const DownloadLimits page{1024, 2000ms, 5000ms, 2s};
        const DownloadLimits program{64, 2000ms, 5000ms, 2s};
        update =
            std::make_unique<SelfUpdate>(prompt,
                                         SelfUpdate::Context{files, [this] { return configPath; },
                                                             [this] { return mode; }, builtIn},
                                         SelfUpdate::Limits{page, program});
        return *update;
    }

    void waitUntilIdle()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !update->isBusy(); }, 10000));
    }

    TemporaryFolder folder{QStringLiteral("kevra-update")};
    ProgramFiles files{folder.filePath(QStringLiteral("kevra"))};
    QString configPath = folder.filePath(QStringLiteral("ftp.ini"));
    LocalHttpServer server;
    ScriptedPrompt prompt;
    int mode = UpdateSettings::Notify;
    std::unique_ptr<SelfUpdate> update; // after server: stops its worker first
};

struct Scenario {
    const char* name;
    QByteArray version;
    int mode;
    bool manual;
    Program program;
    bool answerNo;
    const char* said; // Q: the question, U: updated, A: no address
    bool updated;
};

class SelfUpdateScenario : public SelfUpdateFixture,
                           public ::testing::WithParamInterface<Scenario> {};

TEST_P(SelfUpdateScenario, ReplacesTheProgramOnlyWhenItShould)
{
    const Scenario& row = GetParam();
    const QByteArray sha = QCryptographicHash::hash(NewProgram, QCryptographicHash::Sha256).toHex();
    const QByteArray url = row.program == Program::NoUrl ? "" : server.address() + "/kevra-1.1";
    servePage(row.version, url,
              row.program == Program::WrongSha ? QByteArray(64, 'a') : sha.toUpper());
    const QByteArray body = row.program == Program::Oversized ? QByteArray(65, 'x') : NewProgram;
    if (row.program != Program::Missing)
        server.serve("/kevra-1.1", {200, body, row.program != Program::WithoutLength});
    mode = row.mode;
    if (row.answerNo)
        prompt.answerNext(PromptAnswer::No);

    row.manual ? make().CheckForUpdates() : make().startAtStartup();
    waitUntilIdle();

    QStringList said;
    for (const char* code = row.said; *code; ++code)
        said << (*code == 'Q' ? Question : *code == 'U' ? Updated : NoAddress);
    EXPECT_EQ(prompt.texts(), said);
    EXPECT_EQ(output(files.executable()), row.updated ? "new\n" : "old\n");
    EXPECT_EQ(QFile::exists(files.backup()) ? output(files.backup()) : QByteArray(),
              row.updated ? "old\n" : "");
    EXPECT_FALSE(QFile::exists(files.versionPage()));
    EXPECT_FALSE(QFile::exists(files.download()));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SelfUpdateScenario,
    ::testing::Values(
        Scenario{"SameVersion", "1.0", 1, false, Program::Served, false, "", false},
        Scenario{"NewerInAutomaticMode", "1.01", 1, false, Program::Served, false, "U", true},
        Scenario{"NotifyAnsweredNo", "1.01", 2, false, Program::Served, true, "Q", false},
        Scenario{"NotifyAnsweredYes", "1.01", 2, false, Program::Served, false, "QU", true},
        Scenario{"ManualInNeverMode", "1.01", 3, true, Program::Served, false, "U", true},
        Scenario{"ProgramNotFound", "1.01", 1, false, Program::Missing, false, "", false},
        Scenario{"WrongSha256", "1.01", 1, false, Program::WrongSha, false, "", false},
        Scenario{"ProgramWithoutLength", "1.01", 1, false, Program::WithoutLength, false, "",
                 false},
        Scenario{"ProgramTooLarge", "1.01", 1, false, Program::Oversized, false, "", false},
        Scenario{"NewerWithoutUrl", "2", 1, false, Program::NoUrl, false, "A", false}),
    caseName);

struct StartupCase {
    const char* name;
    bool iniNamesServer; // else the key is absent
    bool builtIn;
    int mode;
    int requests;
};

class StartupCheck : public SelfUpdateFixture, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupCheck, AsksOnlyAConfiguredServerAndOnlyWhenAllowed)
{
    const StartupCase& row = GetParam();
    if (!row.iniNamesServer)
        QFile::remove(configPath);
    servePage("1.0", "");
    mode = row.mode;
    make(row.builtIn ? QString::fromLatin1(server.address()) : QString()).startAtStartup();
    waitUntilIdle();
    EXPECT_EQ(server.requests().size(), row.requests);
    EXPECT_TRUE(prompt.texts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Servers, StartupCheck,
                         ::testing::Values(StartupCase{"NothingConfigured", false, false, 1, 0},
                                           StartupCase{"BuiltIn", false, true, 1, 1},
                                           StartupCase{"FtpIni", true, false, 2, 1},
                                           StartupCase{"NeverMode", true, true, 3, 0}),
                         caseName);

TEST_F(SelfUpdateFixture, EmptyServerInFtpIniTurnsTheBuiltInOneOff)
{
    nameServer("");
    make(QString::fromLatin1(server.address())).CheckForUpdates();
    EXPECT_FALSE(update->isBusy());
    EXPECT_EQ(prompt.texts(), QStringList{NoAddress});
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(SelfUpdateFixture, SilentServerNeitherBlocksStartNorEnd)
{
    server.serve("/updata/updata.html", {200, "", true, true});
    make().startAtStartup();
    EXPECT_TRUE(update->isBusy());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !server.requests().isEmpty(); }, 5000));
    update.reset();
    EXPECT_EQ(output(files.executable()), "old\n");
}

} // namespace
