#include "view/LocalTreeCopy.h"

#include "support/TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class LocalTreeCopyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(temp.isValid()); }

    QString path(const QString& relative) const { return temp.filePath(relative); }

    void write(const QString& relative, const QByteArray& data) const
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path(relative)).path()));
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    bool copy(const QString& from, const QString& to)
    {
        return LocalTreeCopy::CopyLocalTree(path(from), path(to),
                                            [this](const QString& text) { log << text; });
    }

    TemporaryFolder temp{QStringLiteral("tree-copy")};
    QStringList log;
};

TEST_F(LocalTreeCopyTest, CopiesEveryLevelAndKeepsWhatIsAlreadyThere)
{
    write(QStringLiteral("src/top.txt"), "top");
    write(QStringLiteral("src/a/b/deep.bin"), QByteArray(70000, '\x5a'));
    write(QStringLiteral("dst/top.txt"), "mine");

    EXPECT_FALSE(copy(QStringLiteral("src"), QStringLiteral("dst")));

    EXPECT_EQ(read(QStringLiteral("dst/top.txt")), "mine");
    EXPECT_EQ(read(QStringLiteral("dst/a/b/deep.bin")), QByteArray(70000, '\x5a'));
    EXPECT_EQ(log, QStringList{QStringLiteral("top.txt复制失败\r\n")});
    EXPECT_EQ(LocalTreeCopy::totalFileSize(path(QStringLiteral("src"))), 70003);
}

TEST_F(LocalTreeCopyTest, LinkLoopIsCopiedAsALinkAndNeverEntered)
{
    write(QStringLiteral("src/sub/file.txt"), "f");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("src")), path(QStringLiteral("src/sub/loop"))));

    EXPECT_TRUE(copy(QStringLiteral("src"), QStringLiteral("dst")));

    const QFileInfo loop(path(QStringLiteral("dst/sub/loop")));
    EXPECT_TRUE(loop.isSymLink());
    EXPECT_EQ(read(QStringLiteral("dst/sub/file.txt")), "f");
    EXPECT_EQ(LocalTreeCopy::totalFileSize(path(QStringLiteral("src"))), 1);
}

TEST_F(LocalTreeCopyTest, NeverCopiesAFolderIntoItself)
{
    write(QStringLiteral("src/file.txt"), "f");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("src")), path(QStringLiteral("alias"))));

    for (const char* target : {"src", "src/inner", "alias/inner/deeper"})
        EXPECT_FALSE(copy(QStringLiteral("src"), QString::fromLatin1(target))) << target;

    EXPECT_EQ(QDir(path(QStringLiteral("src"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("file.txt")});
    EXPECT_TRUE(copy(QStringLiteral("src"), QStringLiteral("src2")));
}

} // namespace
