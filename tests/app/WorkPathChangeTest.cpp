#include "app/WorkPathChange.h"

#include "config/Configuration.h"
#include "ftp/IntegrationSupport.h"
#include "platform/NamedMutex.h"
#include "support/FileBytes.h"
#include "support/NamedCases.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

QString accountsPath(const QString& workPath)
{
    return workPath + QStringLiteral("list.dat");
}

QString queuePath(const QString& workPath)
{
    return workPath + QStringLiteral("WFL.dat");
}

void write(const QString& path, const QByteArray& content)
{
    ASSERT_TRUE(integration::writeFile(path, content));
}

// The work path under Documents, and a second folder to move it to.
class WorkPathChangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(target()));
        config = LoadConfiguration(root.filePath(QStringLiteral("Documents")));
        ASSERT_EQ(config.workPath, root.filePath(QStringLiteral("Documents/ftpwork/")));
    }

    QString oldPath() const { return root.filePath(QStringLiteral("Documents/ftpwork/")); }
    QString target() const { return root.filePath(QStringLiteral("elsewhere")); }
    QString targetPath() const { return target() + u'/'; }

    bool apply(const QString& folder)
    {
        WorkPathChange change(config, engineLock, prompt, {&accountsPath, &queuePath});
        return change.apply(folder);
    }

    QByteArray ini() const { return filebytes::read(config.configPath); }

    TemporaryFolder root{QStringLiteral("workpath")};
    Configuration config;
    NamedMutex engineLock{QStringLiteral("mutex1"), root.path()};
    ScriptedPrompt prompt;
};

TEST_F(WorkPathChangeTest, CopiesAccountsAndQueueAndStoresThePath)
{
    write(accountsPath(oldPath()), "accounts");
    write(queuePath(oldPath()), "queue");
    ASSERT_TRUE(
        QFile::setPermissions(accountsPath(oldPath()), QFile::ReadOwner | QFile::WriteOwner));

    EXPECT_TRUE(apply(target()));

    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_EQ(config.workPath, targetPath());
    EXPECT_EQ(ini(), "[WorkPath]\r\nWorkPath=" + targetPath().toUtf8() + "\r\n");
    EXPECT_EQ(filebytes::read(accountsPath(targetPath())), "accounts");
    EXPECT_EQ(filebytes::read(queuePath(targetPath())), "queue");
    EXPECT_EQ(QFileInfo(accountsPath(targetPath())).permissions() & 0x7077, // owner, group, others
              QFile::ReadOwner | QFile::WriteOwner);
    // The old folder keeps its files for anyone still working there.
    EXPECT_EQ(filebytes::read(accountsPath(oldPath())), "accounts");
    EXPECT_EQ(filebytes::read(queuePath(oldPath())), "queue");
}

// No account saved and no queue yet: nothing to copy, the new folder's own files stay.
TEST_F(WorkPathChangeTest, EmptyOrMissingFilesAreNotCarriedNorAskedAbout)
{
    write(accountsPath(oldPath()), "");
    write(accountsPath(targetPath()), "theirs");

    EXPECT_TRUE(apply(target()));

    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_EQ(config.workPath, targetPath());
    EXPECT_EQ(filebytes::read(accountsPath(targetPath())), "theirs");
    EXPECT_FALSE(QFileInfo::exists(queuePath(targetPath())));
}

struct ReplaceCase {
    const char* name;
    PromptAnswer answer;
    bool switched;
    const char* accountsThere;
};

class WorkPathReplaceTest : public WorkPathChangeTest,
                            public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(WorkPathReplaceTest, FilesAlreadyInTheFolderAreReplacedOnlyWhenTheUserAgrees)
{
    write(accountsPath(oldPath()), "ours");
    write(queuePath(oldPath()), "our queue");
    write(accountsPath(targetPath()), "theirs");
    write(queuePath(targetPath()), "their queue");
    prompt.answerNext(GetParam().answer);

    EXPECT_EQ(apply(target()), GetParam().switched);

    EXPECT_EQ(prompt.texts(),
              QStringList{QStringLiteral("所选文件夹中已有list.dat、WFL.dat,是否用当前的文件覆盖?\n"
                                         "选“否”则不更改工作路径")});
    EXPECT_EQ(config.workPath, GetParam().switched ? targetPath() : oldPath());
    EXPECT_EQ(filebytes::read(accountsPath(targetPath())), GetParam().accountsThere);
    EXPECT_EQ(filebytes::read(accountsPath(oldPath())), "ours");
    EXPECT_EQ(QFileInfo::exists(config.configPath), GetParam().switched);
}

INSTANTIATE_TEST_SUITE_P(Answers, WorkPathReplaceTest,
                         ::testing::Values(ReplaceCase{"Yes", PromptAnswer::Yes, true, "ours"},
                                           ReplaceCase{"No", PromptAnswer::No, false, "theirs"}),
                         caseName);

struct RefusedCase {
    const char* name;
    const char* folder; // "@" stands for the test's own temporary folder
    const char* message;
};

class WorkPathRefusedTest : public WorkPathChangeTest,
                            public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(WorkPathRefusedTest, FolderThatCannotServeIsRefusedWithAMessage)
{
    write(accountsPath(oldPath()), "accounts");
    write(root.filePath(QStringLiteral("plain-file")), "x");
    QString folder = QString::fromUtf8(GetParam().folder);
    folder.replace(u'@', root.path());
    QString message = QString::fromUtf8(GetParam().message);
    message.replace(u'@', root.path());

    EXPECT_FALSE(apply(folder));

    EXPECT_EQ(prompt.texts(), QStringList{message});
    EXPECT_EQ(prompt.asked()[0].caption, QStringLiteral("工作路径"));
    EXPECT_EQ(config.workPath, oldPath());
    EXPECT_FALSE(QFileInfo::exists(config.configPath));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, WorkPathRefusedTest,
    ::testing::Values(
        // Not even root can create a file in /proc.
        RefusedCase{"ReadOnly", "/proc", "无法写入文件夹/proc/,请选择其他文件夹"},
        RefusedCase{"Missing", "@/gone", "无法写入文件夹@/gone/,请选择其他文件夹"},
        RefusedCase{"AFile", "@/plain-file", "无法写入文件夹@/plain-file/,请选择其他文件夹"},
        RefusedCase{"NotInCodePage936", "@/😀", "文件夹路径中有无法保存的字符,请选择其他文件夹"}),
    caseName);

// Copying a file onto itself would empty it; another spelling of the work path is no change.
TEST_F(WorkPathChangeTest, TheSameFolderSpeltOtherwiseCopiesNothing)
{
    write(accountsPath(oldPath()), "accounts");
    const QString link = root.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(oldPath(), link));

    EXPECT_TRUE(apply(link + QStringLiteral("/./")));

    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_EQ(config.workPath, link + u'/');
    EXPECT_EQ(filebytes::read(accountsPath(oldPath())), "accounts");
}

// A queue save in progress holds "mutex1": the switch waits for it, so the save lands in the
// old folder before the copy is taken, never after.
TEST_F(WorkPathChangeTest, TheSwitchWaitsForTheQueueFileLock)
{
    write(queuePath(oldPath()), "before");
    engineLock.lock();
    auto switching = std::async(std::launch::async, [this] { return apply(target()); });
    EXPECT_EQ(switching.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    write(queuePath(oldPath()), "saved while held");
    engineLock.unlock();

    ASSERT_EQ(switching.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(switching.get());
    EXPECT_EQ(filebytes::read(queuePath(targetPath())), "saved while held");
}

} // namespace
