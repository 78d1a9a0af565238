#include "view/LocalOperations.h"

#include "support/ScriptedPrompt.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& content = QByteArrayLiteral("x"))
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

class LocalOperationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        root = temp.path();
    }

    QString path(const QString& relative) const { return root + QLatin1Char('/') + relative; }

    LocalOperations operations()
    {
        return LocalOperations(prompt, [this](const QString& line) { log << line; });
    }

    QTemporaryDir temp;
    QString root;
    ScriptedPrompt prompt;
    QStringList log;
};

TEST_F(LocalOperationsTest, DeleteTreeRemovesNestedContentIncludingHiddenEntries)
{
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("tree/a/b")));
    writeFile(path(QStringLiteral("tree/top.txt")));
    writeFile(path(QStringLiteral("tree/a/.hidden")));
    writeFile(path(QStringLiteral("tree/a/b/deep.txt")));
    EXPECT_TRUE(LocalOperations::DeleteLocalTree(path(QStringLiteral("tree")),
                                                 [this](const QString& l) { log << l; }));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("tree"))));
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(LocalOperationsTest, DeleteTreeNeverFollowsSymbolicLinks)
{
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("outside")));
    writeFile(path(QStringLiteral("outside/keep.txt")));
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("tree")));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("tree/link"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside/keep.txt")),
                            path(QStringLiteral("tree/filelink"))));
    EXPECT_TRUE(LocalOperations::DeleteLocalTree(path(QStringLiteral("tree")),
                                                 [this](const QString& l) { log << l; }));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("tree"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("outside/keep.txt"))));
}

TEST_F(LocalOperationsTest, ReadOnlyFileIsKeptAndLoggedThenTheFolderFails)
{
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("tree")));
    const QString locked = path(QStringLiteral("tree/locked.txt"));
    writeFile(locked);
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner));
    auto ops = operations();
    EXPECT_EQ(ops.deleteEntries(root, {QStringLiteral("tree")}), 0);
    EXPECT_EQ(log, (QStringList{QStringLiteral("locked.txt删除失败3\r\n"),
                                path(QStringLiteral("tree")) + QStringLiteral("删除失败2\r\n")}));
    EXPECT_TRUE(QFileInfo::exists(locked));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除tree")});
}

TEST_F(LocalOperationsTest, DeletingSeveralAsksOnceWithTheCount)
{
    for (const char* name : {"a", "b", "c"})
        writeFile(path(QString::fromLatin1(name)));
    auto ops = operations();
    EXPECT_EQ(
        ops.deleteEntries(root, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}),
        3);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除这3个文件")});
    EXPECT_EQ(log.size(), 3);
    EXPECT_EQ(log.first(), path(QStringLiteral("a")) + QStringLiteral("删除成功\r\n"));
}

TEST_F(LocalOperationsTest, AnsweringNoDeletesNothing)
{
    writeFile(path(QStringLiteral("a")));
    prompt.answerNext(PromptAnswer::No);
    auto ops = operations();
    EXPECT_EQ(ops.deleteEntries(root, {QStringLiteral("a")}), 0);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("a"))));
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(LocalOperationsTest, RenameOntoAnExistingFileAsksAndReplacesOnYes)
{
    writeFile(path(QStringLiteral("old")), QByteArrayLiteral("old"));
    writeFile(path(QStringLiteral("new")), QByteArrayLiteral("new"));
    auto ops = operations();
    ops.rename(root, QStringLiteral("old"), QStringLiteral("new"));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("文件new已存在是否覆盖")});
    QFile file(path(QStringLiteral("new")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArrayLiteral("old"));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("old"))));
}

TEST_F(LocalOperationsTest, RenameAnsweredNoLeavesBothEntries)
{
    writeFile(path(QStringLiteral("old")));
    writeFile(path(QStringLiteral("new")));
    prompt.answerNext(PromptAnswer::No);
    auto ops = operations();
    ops.rename(root, QStringLiteral("old"), QStringLiteral("new"));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("old"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("new"))));
}

TEST_F(LocalOperationsTest, RenameToTheSameNameAsksNothingAndKeepsTheFile)
{
    writeFile(path(QStringLiteral("same")));
    auto ops = operations();
    ops.rename(root, QStringLiteral("same"), QStringLiteral("same"));
    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("same"))));
}

TEST_F(LocalOperationsTest, NamesThatAreNotEntriesOfTheFolderAreNeverDeleted)
{
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("inner")));
    writeFile(path(QStringLiteral("inner/keep.txt")));
    writeFile(path(QStringLiteral("plain.txt")));
    auto ops = operations();
    const QString inner = path(QStringLiteral("inner"));
    EXPECT_EQ(
        ops.deleteEntries(inner, {QStringLiteral(".."), QStringLiteral("."), QString(),
                                  QStringLiteral("../plain.txt"), QStringLiteral("keep.txt")}),
        1);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除keep.txt")});
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("plain.txt"))));
    EXPECT_TRUE(QFileInfo(inner).isDir());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("inner/keep.txt"))));
}

TEST_F(LocalOperationsTest, TheParentIsNeverRenamed)
{
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("inner")));
    auto ops = operations();
    ops.rename(path(QStringLiteral("inner")), QStringLiteral(".."), QStringLiteral("moved"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("inner"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("inner/moved"))));
    EXPECT_TRUE(QFileInfo(root).isDir());
}

TEST_F(LocalOperationsTest, NewFolderThatExistsIsReported)
{
    ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("dup")));
    auto ops = operations();
    ops.makeFolder(root, QStringLiteral("dup"));
    ops.makeFolder(root, QStringLiteral("fresh"));
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("文件夹") + path(QStringLiteral("dup")) +
                                          QStringLiteral("已存在")});
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("fresh"))).isDir());
}

} // namespace
