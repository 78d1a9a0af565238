#include "config/Configuration.h"

#include "platform/TextCodec.h"
#include "support/NamedCases.h"
#include "support/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray gbk(const char* utf8)
{
    return TextCodec::toGbk(text(utf8));
}

// A documents folder of its own, with the work folder and ftp.ini inside it.
class ConfigurationTest : public ::testing::Test {
protected:
    ConfigurationTest() { QDir().mkpath(documents()); }

    QString documents() const { return dir_.filePath(QStringLiteral("Documents")); }
    QString workFolder() const { return documents() + QStringLiteral("/ftpwork"); }
    QString iniPath() const { return workFolder() + QStringLiteral("/ftp.ini"); }

    void writeIni(const QByteArray& bytes) const
    {
        ASSERT_TRUE(QDir().mkpath(workFolder()));
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray ini() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    Configuration load() const { return LoadConfiguration(documents()); }

private:
    QTemporaryDir dir_;
};

TEST_F(ConfigurationTest, WithoutIniEverythingHasItsDefault)
{
    const Configuration config = load();
    EXPECT_FALSE(config.documentsFolderMissing);
    EXPECT_EQ(config.workFolder, workFolder());
    EXPECT_EQ(config.configPath, iniPath());
    EXPECT_TRUE(config.addresses.isEmpty());
    EXPECT_EQ(config.addressCount, 0);
    EXPECT_EQ(config.workPath, workFolder() + u'/');
    EXPECT_EQ(config.updateMode, 2);
    EXPECT_TRUE(QFileInfo(workFolder()).isDir());
    EXPECT_FALSE(QFileInfo::exists(iniPath())) << "reading alone must not create the file";
}

TEST_F(ConfigurationTest, ExistingWorkFolderIsKept)
{
    writeIni("[UPdata]\r\nmode=3\r\n");
    const Configuration config = load();
    EXPECT_EQ(config.updateMode, 3);
    EXPECT_EQ(ini(), QByteArray("[UPdata]\r\nmode=3\r\n"));
}

TEST_F(ConfigurationTest, MissingDocumentsFolderIsCreatedWithTheWorkFolder)
{
    ASSERT_TRUE(QDir(documents()).removeRecursively());
    const Configuration config = load();
    EXPECT_FALSE(config.documentsFolderMissing);
    EXPECT_TRUE(QFileInfo(workFolder()).isDir());
}

TEST(Configuration, UnknownDocumentsFolderIsReportedAndNothingIsCreatedAtTheRoot)
{
    const bool existedBefore = QFileInfo::exists(QStringLiteral("/ftpwork"));
    const Configuration config = LoadConfiguration(QString());
    EXPECT_TRUE(config.documentsFolderMissing);
    EXPECT_EQ(config.workFolder, QStringLiteral("/ftpwork"));
    EXPECT_EQ(config.configPath, QStringLiteral("/ftpwork/ftp.ini"));
    EXPECT_EQ(QFileInfo::exists(QStringLiteral("/ftpwork")), existedBefore);
    if (!existedBefore) {
        EXPECT_TRUE(config.addresses.isEmpty());
        EXPECT_EQ(config.workPath, QStringLiteral("/ftpwork/"));
        EXPECT_EQ(config.updateMode, 2);
    }
}

TEST(Configuration, UsesTheUsersDocumentsFolder)
{
    QTemporaryDir home;
    ScopedEnvironment environment;
    environment.set("HOME", QFile::encodeName(home.path()));
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    const Configuration config = LoadConfiguration();
    EXPECT_EQ(config.workFolder, home.path() + QStringLiteral("/Documents/ftpwork"));
    EXPECT_TRUE(QFileInfo(config.workFolder).isDir());
    EXPECT_FALSE(config.documentsFolderMissing);
}

// ---------------------------------------------------------------------------------------------
// Remembered servers as listed in the server box: the highest key first.

struct AddressCase {
    const char* name;
    QByteArray file;
    int expectedCount;
    QStringList expectedAddresses;
};

class ConfigurationAddresses : public ConfigurationTest,
                               public ::testing::WithParamInterface<AddressCase> {};

TEST_P(ConfigurationAddresses, AreListedMostRecentFirst)
{
    writeIni(GetParam().file);
    const Configuration config = load();
    EXPECT_EQ(config.addressCount, GetParam().expectedCount);
    EXPECT_EQ(config.addresses, GetParam().expectedAddresses);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigurationAddresses,
    ::testing::Values(
        AddressCase{"ThreeKeys",
                    "[AddresCount]\r\nCount=3\r\n[Addres]\r\nA1=one\r\nA2=two\r\nA3=three\r\n",
                    3,
                    {QStringLiteral("three"), QStringLiteral("two"), QStringLiteral("one")}},
        AddressCase{"KeysInAnyOrder",
                    "[Addres]\nA3=three\nA1=one\nA2=two\n[AddresCount]\nCount=3\n",
                    3,
                    {QStringLiteral("three"), QStringLiteral("two"), QStringLiteral("one")}},
        AddressCase{"MissingKeysAreEmptyEntries",
                    "[AddresCount]\nCount=4\n[Addres]\nA1=one\nA3=three\n",
                    4,
                    {QString(), QStringLiteral("three"), QString(), QStringLiteral("one")}},
        AddressCase{"KeysPastTheCountAreIgnored",
                    "[AddresCount]\nCount=1\n[Addres]\nA1=a\nA2=b\n",
                    1,
                    {QStringLiteral("a")}},
        AddressCase{"ChineseAndGbk",
                    "[AddresCount]\nCount=2\n[Addres]\nA1=" + gbk("服务器.中国") + "\nA2=b\n",
                    2,
                    {QStringLiteral("b"), text("服务器.中国")}},
        AddressCase{"CountWithoutSection", "[AddresCount]\nCount=2\n", 2, {QString(), QString()}},
        AddressCase{"NegativeCount", "[AddresCount]\nCount=-3\n[Addres]\nA1=a\n", 0, {}},
        AddressCase{"NamesIgnoreCase",
                    "[addrescount]\ncount=1\n[ADDRES]\na1=x\n",
                    1,
                    {QStringLiteral("x")}},
        AddressCase{"AddressCutTo259Bytes",
                    "[AddresCount]\nCount=1\n[Addres]\nA1=" + QByteArray(400, 'h') + "\n",
                    1,
                    {QString(259, u'h')}}),
    caseName);

TEST_F(ConfigurationTest, ADamagedCountListsABoundedNumberOfEntries)
{
    writeIni("[AddresCount]\nCount=2147483647\n[Addres]\nA1=first\n");
    const Configuration config = load();
    EXPECT_EQ(config.addressCount, 2147483647);
    ASSERT_FALSE(config.addresses.isEmpty());
    EXPECT_LE(config.addresses.size(), 10000);
    EXPECT_EQ(config.addresses.back(), QStringLiteral("first"));
}

// ---------------------------------------------------------------------------------------------
// Work path and update mode

struct ValueCase {
    const char* name;
    QByteArray file;
    const char* expectedWorkPath; // relative to the temporary folder when it starts with "~"
    int expectedMode;
};

class ConfigurationValues : public ConfigurationTest,
                            public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ConfigurationValues, AreReadWithTheirDefaults)
{
    writeIni(GetParam().file);
    const Configuration config = load();
    QString expected = text(GetParam().expectedWorkPath);
    if (expected.startsWith(u'~'))
        expected = workFolder() + expected.mid(1);
    EXPECT_EQ(config.workPath, expected);
    EXPECT_EQ(config.updateMode, GetParam().expectedMode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigurationValues,
    ::testing::Values(ValueCase{"EmptyFile", "", "~/", 2},
                      ValueCase{"StoredPath", "[WorkPath]\nWorkPath=/data/ftp/\n", "/data/ftp/", 2},
                      ValueCase{"StoredPathGetsItsSlash", "[WorkPath]\nWorkPath=/data/ftp\n",
                                "/data/ftp/", 2},
                      ValueCase{"EmptyStoredPath", "[WorkPath]\nWorkPath=\n", "~/", 2},
                      ValueCase{"ChinesePath", "[WorkPath]\nWorkPath=" + gbk("/数据/下载/") + "\n",
                                "/数据/下载/", 2},
                      ValueCase{"ModeOne", "[UPdata]\nmode=1\n", "~/", 1},
                      ValueCase{"ModeThree", "[UPdata]\nmode=3\n", "~/", 3},
                      ValueCase{"ModeNotANumber", "[UPdata]\nmode=never\n", "~/", 0},
                      ValueCase{"ModeEmpty", "[UPdata]\nmode=\n", "~/", 2}),
    caseName);

TEST_F(ConfigurationTest, LongWorkPathIsNeverCut)
{
    const QString longPath = QStringLiteral("/data/") + QString(600, u'p') + u'/';
    writeIni("[WorkPath]\nWorkPath=" + longPath.toLatin1() + "\n");
    EXPECT_EQ(load().workPath, longPath);
}

// ---------------------------------------------------------------------------------------------
// RememberServer

// Each row starts from the given ini (none when empty) and remembers the hosts in turn.
struct RememberCase {
    const char* name;
    QByteArray before;
    QStringList hosts;
    QStringList listed; // most recent first, in memory and after a reload
    QByteArray after;
};

class ConfigurationRemember : public ConfigurationTest,
                              public ::testing::WithParamInterface<RememberCase> {};

TEST_P(ConfigurationRemember, ListsAndStoresEachNewHostOnce)
{
    const RememberCase& c = GetParam();
    if (!c.before.isEmpty())
        writeIni(c.before);
    Configuration config = load();
    for (const QString& host : c.hosts)
        RememberServer(config, host);
    EXPECT_EQ(config.addresses, c.listed);
    EXPECT_EQ(config.addressCount, c.listed.size());
    const Configuration reloaded = load();
    EXPECT_EQ(reloaded.addresses, c.listed);
    EXPECT_EQ(reloaded.addressCount, c.listed.size());
    EXPECT_EQ(ini(), c.after);
}

const QByteArray oneEmptyEntry = "[AddresCount]\nCount=1\n[Addres]\nA1=\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigurationRemember,
    ::testing::Values(
        RememberCase{"FirstHostWritesCountAndKey",
                     "",
                     {QStringLiteral("ftp.example.org")},
                     {QStringLiteral("ftp.example.org")},
                     "[AddresCount]\r\nCount=1\r\n[Addres]\r\nA1=ftp.example.org\r\n"},
        RememberCase{"SameHostTwiceIsRememberedOnce",
                     "",
                     {QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.1")},
                     {QStringLiteral("10.0.0.1")},
                     "[AddresCount]\r\nCount=1\r\n[Addres]\r\nA1=10.0.0.1\r\n"},
        RememberCase{"HostsDifferingInCaseAreBothRemembered",
                     "",
                     {QStringLiteral("FTP.Example.org"), QStringLiteral("ftp.example.org"),
                      QStringLiteral("ftp.example.org")},
                     {QStringLiteral("ftp.example.org"), QStringLiteral("FTP.Example.org")},
                     "[AddresCount]\r\nCount=2\r\n[Addres]\r\nA1=FTP.Example.org\r\n"
                     "A2=ftp.example.org\r\n"},
        RememberCase{"ContinuesTheStoredHistory",
                     "; my servers\r\n[AddresCount]\r\nCount=2\r\n[Addres]\r\nA1=a\r\nA2=" +
                         gbk("中文") + "\r\n[UPdata]\r\nmode=1\r\n",
                     {text("中文"), QStringLiteral("a"), QStringLiteral("c")},
                     {QStringLiteral("c"), text("中文"), QStringLiteral("a")},
                     "; my servers\r\n[AddresCount]\r\nCount=3\r\n[Addres]\r\nA1=a\r\nA2=" +
                         gbk("中文") + "\r\nA3=c\r\n[UPdata]\r\nmode=1\r\n"},
        // The duplicate check compares the text after the last "=" of each entry.
        RememberCase{"DuplicateCheckLooksAtTheValueOfEveryKey",
                     "[AddresCount]\nCount=1\n[Addres]\nA1=host\nOld=other\n",
                     {QStringLiteral("other")},
                     {QStringLiteral("host")},
                     "[AddresCount]\nCount=1\n[Addres]\nA1=host\nOld=other\n"},
        RememberCase{
            "EmptyHostIsNotRemembered", oneEmptyEntry, {QString()}, {QString()}, oneEmptyEntry},
        RememberCase{"HostWithALineBreakIsNotRemembered",
                     oneEmptyEntry,
                     {QStringLiteral("a\r\n[WorkPath]")},
                     {QString()},
                     oneEmptyEntry},
        RememberCase{"HostOutsideGbkIsNotRemembered",
                     oneEmptyEntry,
                     {text("\xF0\x9F\x98\x80.example")},
                     {QString()},
                     oneEmptyEntry}),
    caseName);

// An entry past the 2048-byte section window is not seen by the duplicate check, and an entry
// that only partly fits is not compared at all, so a prefix of it never counts as a match.
TEST_F(ConfigurationTest, DuplicateCheckSeesOnlyTheSectionWindow)
{
    QByteArray file = "[AddresCount]\nCount=101\n[Addres]\n";
    for (int index = 1; index <= 100; ++index)
        file += "A" + QByteArray::number(index) + "=server-" + QByteArray::number(index + 1000) +
                ".example\n";
    file += "A101=late.example\n";
    writeIni(file);
    Configuration config = load();
    RememberServer(config, QStringLiteral("server-1001.example"));
    EXPECT_EQ(config.addressCount, 101);
    RememberServer(config, QStringLiteral("late.example"));
    EXPECT_EQ(config.addressCount, 102);
    // "A86=server-1086.example" straddles the end of the window.
    RememberServer(config, QStringLiteral("server-1"));
    EXPECT_EQ(config.addressCount, 103);
}

TEST_F(ConfigurationTest, RememberingWithoutAWorkFolderChangesNoFile)
{
    Configuration config = load();
    ASSERT_TRUE(QDir(workFolder()).removeRecursively());
    RememberServer(config, QStringLiteral("host"));
    EXPECT_FALSE(QFileInfo::exists(workFolder()));
}

// ---------------------------------------------------------------------------------------------
// StoreWorkPath

struct WorkPathCase {
    const char* name;
    const char* chosen;
    const char* stored;
};

class ConfigurationStoreWorkPath : public ConfigurationTest,
                                   public ::testing::WithParamInterface<WorkPathCase> {};

TEST_P(ConfigurationStoreWorkPath, KeepsTheFolderWithOneTrailingSlash)
{
    Configuration config = load();
    StoreWorkPath(config, text(GetParam().chosen));
    EXPECT_EQ(config.workPath, text(GetParam().stored));
    EXPECT_EQ(ini(), "[WorkPath]\r\nWorkPath=" + gbk(GetParam().stored) + "\r\n");
    EXPECT_EQ(load().workPath, text(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigurationStoreWorkPath,
    ::testing::Values(WorkPathCase{"Plain", "/home/user/ftp", "/home/user/ftp/"},
                      WorkPathCase{"AlreadySlashed", "/home/user/ftp/", "/home/user/ftp/"},
                      WorkPathCase{"Root", "/", "/"},
                      WorkPathCase{"Chinese", "/home/用户/下载", "/home/用户/下载/"}),
    caseName);

TEST_F(ConfigurationTest, StoringReplacesTheEarlierWorkPath)
{
    Configuration config = load();
    StoreWorkPath(config, QStringLiteral("/first"));
    RememberServer(config, QStringLiteral("h"));
    StoreWorkPath(config, QStringLiteral("/second"));
    EXPECT_EQ(ini(), QByteArray("[WorkPath]\r\nWorkPath=/second/\r\n[AddresCount]\r\nCount=1\r\n"
                                "[Addres]\r\nA1=h\r\n"));
}

// What ftp.ini cannot give back unchanged would send the files to another folder next time.
TEST_F(ConfigurationTest, WorkPathTheFileCannotHoldIsRefused)
{
    Configuration config = load();
    for (const QString& folder :
         {QStringLiteral("/home/😀"), QStringLiteral("/") + QString(4100, u'x')}) {
        EXPECT_FALSE(StoreWorkPath(config, folder));
        EXPECT_EQ(config.workPath, workFolder() + u'/');
    }
    EXPECT_FALSE(QFileInfo::exists(iniPath()));
}

TEST_F(ConfigurationTest, EmptyChoiceKeepsTheWorkPath)
{
    Configuration config = load();
    StoreWorkPath(config, QString());
    EXPECT_EQ(config.workPath, workFolder() + u'/');
    EXPECT_FALSE(QFileInfo::exists(iniPath()));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Verification, speed limits and kept times in the "Transfer" section

struct TransferCase {
    const char* name;
    QByteArray file;
    bool verify;
    int downloadLimit;
    int uploadLimit;
    bool keepTimes;
};

class ConfigurationTransfer : public ConfigurationTest,
                              public ::testing::WithParamInterface<TransferCase> {};

TEST_P(ConfigurationTransfer, IsReadWithItsDefaults)
{
    writeIni(GetParam().file);
    const TransferSettings settings = ReadTransferSettings(iniPath());
    EXPECT_EQ(settings.verify, GetParam().verify);
    EXPECT_EQ(settings.downloadLimit, GetParam().downloadLimit);
    EXPECT_EQ(settings.uploadLimit, GetParam().uploadLimit);
    EXPECT_EQ(settings.keepTimes, GetParam().keepTimes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigurationTransfer,
    ::testing::Values(
        TransferCase{"Defaults", "", true, 0, 0, false},
        TransferCase{"Set",
                     "[Transfer]\nVerify=Off\nDownloadLimit=500\nUploadLimit=20\nKeepTimes=1\n",
                     false, 500, 20, true},
        TransferCase{"UnreadableIsDefault",
                     "[Transfer]\nVerify=maybe\nDownloadLimit=-5\nUploadLimit=x\n", true, 0, 0,
                     false},
        TransferCase{"HugeIsTheLargest", "[Transfer]\nDownloadLimit=999999999\nKeepTimes=2\n", true,
                     MaxSpeedLimit, 0, false}),
    caseName);
