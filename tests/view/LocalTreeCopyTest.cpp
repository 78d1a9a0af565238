#include "view/LocalTreeCopy.h"

#include "support/TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class LocalTreeCopyTest : public ::testing::Test {
protected:
    QString path(const char* relative) const { return temp.filePath(QString::fromUtf8(relative)); }

    void write(const char* relative, const QByteArray& data) const
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path(relative)).path()));
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    }

    QByteArray read(const char* relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    bool copy(const char* from, const char* to)
    {
        return LocalTreeCopy::CopyLocalTree(path(from), path(to),
                                            [this](const QString& text) { log << text; });
    }

    TemporaryFolder temp{QStringLiteral("tree-copy")};
    QStringList log;
};

TEST_F(LocalTreeCopyTest, CopiesEveryLevelKeepsWhatIsThereAndNeverEntersALink)
{
    write("src/top.txt", "top");
    write("src/a/b/deep.bin", QByteArray(70000, 'z'));
    ASSERT_TRUE(QFile::link(path("src"), path("src/a/loop")));
    write("dst/top.txt", "mine");

    EXPECT_FALSE(copy("src", "dst"));

    EXPECT_EQ(read("dst/top.txt"), "mine");
    EXPECT_EQ(read("dst/a/b/deep.bin"), QByteArray(70000, 'z'));
    EXPECT_TRUE(QFileInfo(path("dst/a/loop")).isSymLink());
    EXPECT_EQ(log, QStringList{QStringLiteral("top.txt复制失败\r\n")});
    EXPECT_EQ(LocalTreeCopy::totalFileSize(path("src")), 70003);
}

TEST_F(LocalTreeCopyTest, NeverCopiesAFolderIntoItself)
{
    write("src/file.txt", "f");
    ASSERT_TRUE(QFile::link(path("src"), path("alias")));

    for (const char* target : {"src", "src/inner", "alias/inner/deeper"})
        EXPECT_FALSE(copy("src", target)) << target;

    EXPECT_EQ(QDir(path("src")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);
    EXPECT_TRUE(copy("src", "src2"));
}

} // namespace
