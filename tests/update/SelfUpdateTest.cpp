#include "update/SelfUpdate.h"
#include "update/LocalHttpServer.h"

#include "ftp/IntegrationSupport.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/NamedCases.h"
#include "support/RunProgram.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using namedcases::caseName;
using namedcases::operator<<;

const QByteArray OldProgram = "#!/bin/sh\necho old\n";
// An ELF for this machine that prints "new", and "KEVRA 1.01" to --version.
const QByteArray NewProgram = filebytes::read(QStringLiteral(KEVRA_FAKE_RELEASE));
constexpr qint64 MaxProgramBytes = 1024 * 1024;
const QString Question = QStringLiteral("检测到新版本 VER：1.01是否更新");
const QString Updated = QStringLiteral("更新成功，重启后生效");
const QString NoAddress = QStringLiteral("获取更新地址失败");
const QMap<char, QString> Told{{'Q', Question},
                               {'U', Updated},
                               {'A', NoAddress},
                               {'F', QStringLiteral("下载新版本失败：服务器答复 HTTP 404")},
                               {'G', QStringLiteral("下载新版本失败：服务器没有给出长度")},
                               {'B', QStringLiteral("下载新版本失败：超过 1048576 字节")},
                               {'S', QStringLiteral("新版本的 SHA256 与版本页不符，未安装")},
                               {'N', QStringLiteral("新版本没有签名，未安装")},
                               {'X', QStringLiteral("新版本的签名无效，未安装")},
                               {'M', QStringLiteral("新版本不是本机可运行的程序，未安装")},
                               {'W', QStringLiteral("新版本报告的版本与版本页不符，未安装")},
                               {'L', QStringLiteral("已是最新版本")},
                               {'V', QStringLiteral("版本页没有给出有效的版本号")},
                               {'C', QStringLiteral("检查更新失败：服务器答复 HTTP 404")},
                               {'K', QStringLiteral("此版本没有内置更新签名公钥，不能安装更新")}};

enum class Program {
    Served,
    Missing,
    WithoutLength,
    Oversized,
    WrongSha,
    NoUrl,
    NoPage,
    Unsigned,
    OtherKey,
    Truncated,
    Html,
    Empty,
    ForAnotherMachine,
    NoKeyBuiltIn
};

QByteArray output(const QString& program)
{
    return runProgram(program, {}, 5000).output;
}

// Keys and signatures come from the project's scripts, with key pairs each test makes itself.
QByteArray runScript(const char* name, QStringList arguments, const QByteArray& lineStart)
{
    arguments.prepend(QStringLiteral(KEVRA_SOURCE_DIR "/scripts/") + QLatin1String(name));
    for (const QByteArray& line : runProgram(QStringLiteral("bash"), arguments).output.split('\n'))
        if (line.startsWith(lineStart))
            return line.mid(lineStart.size());
    return QByteArray();
}

class SelfUpdateFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(integration::writeFile(files.runningFile, OldProgram));
        QFile::setPermissions(files.runningFile,
                              QFile::permissions(files.runningFile) | QFile::ExeOwner);
        nameServer(server.address());
        ASSERT_TRUE(QDir().mkpath(folder.filePath(QStringLiteral("www/updata"))));
    }

    // Python's http.server over the folder "www", at the port it picked and names in its log.
    QByteArray startPython()
    {
        const QString log = folder.filePath(QStringLiteral("http.log"));
        python.start(QStringLiteral("/usr/bin/python3"),
                     QStringLiteral("-u -m http.server --bind 127.0.0.1 0 --directory").split(u' ')
                         << folder.filePath(QStringLiteral("www")),
                     log);
        static const QRegularExpression port(QStringLiteral("port (\\d+)"));
        if (!QTest::qWaitFor([&] { return filebytes::read(log).contains("port"); }, 5000))
            return QByteArray();
        return "http://127.0.0.1:" +
               port.match(QString::fromLatin1(filebytes::read(log))).captured(1).toLatin1();
    }

    QByteArray makeKey(const QString& name)
    {
        return runScript("make-update-key.sh", {folder.filePath(name)}, "-DKEVRA_UPDATE_KEY=");
    }

    QByteArray sign(const QString& keyName, const QByteArray& program)
    {
        const QString file = folder.filePath(QStringLiteral("signed"));
        integration::writeFile(file, program);
        return runScript("sign-release.sh", {folder.filePath(keyName), file}, "Signature=");
    }

    void nameServer(const QByteArray& address)
    {
        ASSERT_TRUE(integration::writeFile(configPath, "[UPdata]\r\nserver=" + address + "\r\n"));
    }

    void servePage(const QByteArray& version, const QByteArray& url, const QByteArray& sha = {},
                   const QByteArray& signature = {})
    {
        const QByteArray page = "[updata]\r\nVersion=" + version + "\r\nURL=" + url +
                                "\r\nSHA256=" + sha + "\r\nSignature=" + signature + "\r\n";
        server.serve("/updata/updata.html", {200, page});
        integration::writeFile(folder.filePath(QStringLiteral("www/updata/updata.html")), page);
    }

    SelfUpdate& make(QString builtIn = QString())
    {
        const DownloadLimits page{1024, 2000ms, 5000ms, 2s};
        const DownloadLimits program{MaxProgramBytes, 2000ms, 5000ms, 2s};
        update = std::make_unique<SelfUpdate>(
            prompt,
            SelfUpdate::Context{files, [this] { return configPath; }, [this] { return mode; },
                                builtIn, ReleaseSignature(QString::fromLatin1(publicKey))},
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
    QByteArray publicKey = makeKey(QStringLiteral("release.pem"));
    ChildProcess python;
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
    const char* said; // keys of Told
    bool updated;
};

class SelfUpdateScenario : public SelfUpdateFixture,
                           public ::testing::WithParamInterface<Scenario> {};

TEST_P(SelfUpdateScenario, ReplacesTheProgramOnlyWhenItShould)
{
    const Scenario& row = GetParam();
    if (row.program == Program::NoKeyBuiltIn)
        publicKey.clear();
    const QByteArray web = startPython();
    ASSERT_FALSE(web.isEmpty());
    nameServer(web);
    QByteArray body = row.program == Program::Oversized   ? QByteArray(MaxProgramBytes + 1, 'x')
                      : row.program == Program::Truncated ? NewProgram.left(NewProgram.size() / 2)
                      : row.program == Program::Html      ? "<html><body>Not Found</body></html>"
                      : row.program == Program::Empty     ? QByteArray()
                                                          : NewProgram;
    if (row.program == Program::ForAnotherMachine)
        body[18] = char(body[18] ^ 0x40); // the ELF header's machine
    const QByteArray sha = QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex();
    const QByteArray host = row.program == Program::WithoutLength ? server.address() : web;
    const QByteArray url = row.program == Program::NoUrl ? "" : host + "/kevra-1.1";
    if (row.program == Program::OtherKey)
        makeKey(QStringLiteral("other.pem"));
    const QByteArray signature =
        sign(QLatin1String(row.program == Program::OtherKey ? "other.pem" : "release.pem"),
             row.program == Program::ForAnotherMachine ? body : NewProgram);
    if (row.program != Program::NoPage)
        servePage(row.version, url,
                  row.program == Program::WrongSha ? QByteArray(64, 'a')
                  : body == NewProgram             ? sha.toUpper()
                                                   : QByteArray(),
                  row.program == Program::Unsigned ? QByteArray() : signature);
    if (row.program != Program::Missing)
        integration::writeFile(folder.filePath(QStringLiteral("www/kevra-1.1")), body);
    server.serve("/kevra-1.1", {200, body, false});
    mode = row.mode;
    if (row.answerNo)
        prompt.answerNext(PromptAnswer::No);

    row.manual ? make().CheckForUpdates() : make().startAtStartup();
    waitUntilIdle();

    QStringList said;
    for (const char* code = row.said; *code; ++code)
        said << Told[*code];
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
        Scenario{"ProgramNotFound", "1.01", 1, false, Program::Missing, false, "F", false},
        Scenario{"WrongSha256", "1.01", 1, false, Program::WrongSha, false, "S", false},
        Scenario{"ProgramWithoutLength", "1.01", 1, false, Program::WithoutLength, false, "G",
                 false},
        Scenario{"ProgramTooLarge", "1.01", 1, false, Program::Oversized, false, "B", false},
        Scenario{"NewerWithoutUrl", "2", 1, false, Program::NoUrl, false, "A", false},
        Scenario{"Unsigned", "1.01", 3, true, Program::Unsigned, false, "N", false},
        Scenario{"SignedWithAnotherKey", "1.01", 3, true, Program::OtherKey, false, "X", false},
        Scenario{"Truncated", "1.01", 3, true, Program::Truncated, false, "X", false},
        Scenario{"HtmlPage", "1.01", 3, true, Program::Html, false, "X", false},
        Scenario{"Empty", "1.01", 3, true, Program::Empty, false, "X", false},
        Scenario{"ForAnotherMachine", "1.01", 3, true, Program::ForAnotherMachine, false, "M",
                 false},
        Scenario{"SaysAnotherVersion", "1.02", 3, true, Program::Served, false, "W", false},
        Scenario{"UpToDateAsked", "1.0", 3, true, Program::Served, false, "L", false},
        Scenario{"VersionNotANumber", "9 <b>now</b>", 3, true, Program::Served, false, "V", false},
        Scenario{"NoPageAsked", "1.01", 3, true, Program::NoPage, false, "C", false},
        Scenario{"NoPageAtStart", "1.01", 1, false, Program::NoPage, false, "", false},
        Scenario{"NoKeyBuiltIn", "1.01", 3, true, Program::NoKeyBuiltIn, false, "K", false},
        Scenario{"NoKeyBuiltInAtStart", "1.01", 1, false, Program::NoKeyBuiltIn, false, "", false}),
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
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("未设置更新服务器")});
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
