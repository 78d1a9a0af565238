#include "view/FileProperties.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList labelsOf(const FileProperties& properties)
{
    QStringList labels;
    for (const FileProperties::Line& line : properties.lines())
        labels << line.label;
    return labels;
}

class FilePropertiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        file = temp.path() + QStringLiteral("/report.txt");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_TRUE(out.resize(1536));
        out.close();
        ASSERT_TRUE(QFile::setPermissions(
            file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther));
        QFile touch(file);
        ASSERT_TRUE(touch.open(QIODevice::ReadWrite));
        ASSERT_TRUE(touch.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(14, 22, 7)),
                                      QFileDevice::FileModificationTime));
    }

    QTemporaryDir temp;
    QString file;
};

TEST_F(FilePropertiesTest, DescribesAFile)
{
    const FileProperties properties = FileProperties::read(file);
    EXPECT_EQ(properties.name, QStringLiteral("report.txt"));
    EXPECT_EQ(properties.location, temp.path());
    EXPECT_EQ(properties.size, QStringLiteral("1.50KB (1536 字节)"));
    EXPECT_EQ(properties.modified, QStringLiteral("2024-03-05 14:22:07"));
    EXPECT_EQ(properties.permissions, QStringLiteral("rwxr-xr-- (754)"));
    EXPECT_EQ(properties.owner, QFileInfo(file).owner());
    EXPECT_EQ(properties.group, QFileInfo(file).group());
    EXPECT_FALSE(properties.type.isEmpty());
    EXPECT_NE(properties.type, QStringLiteral("文件夹"));
    EXPECT_FALSE(properties.accessed.isEmpty());
    EXPECT_FALSE(properties.created.isEmpty());
    EXPECT_TRUE(properties.linkTarget.isEmpty());
    EXPECT_EQ(
        labelsOf(properties),
        (QStringList{QStringLiteral("名称"), QStringLiteral("类型"), QStringLiteral("位置"),
                     QStringLiteral("大小"), QStringLiteral("创建时间"), QStringLiteral("修改时间"),
                     QStringLiteral("访问时间"), QStringLiteral("权限"), QStringLiteral("所有者"),
                     QStringLiteral("组")}));
}

TEST_F(FilePropertiesTest, AFolderHasNoSizeLine)
{
    const QString folder = temp.path() + QStringLiteral("/sub");
    ASSERT_TRUE(QDir().mkdir(folder));
    const FileProperties properties = FileProperties::read(folder);
    EXPECT_EQ(properties.type, QStringLiteral("文件夹"));
    EXPECT_TRUE(properties.size.isEmpty());
    EXPECT_FALSE(labelsOf(properties).contains(QStringLiteral("大小")));
}

TEST_F(FilePropertiesTest, ALinkNamesItsTarget)
{
    const QString link = temp.path() + QStringLiteral("/shortcut");
    ASSERT_TRUE(QFile::link(file, link));
    const FileProperties properties = FileProperties::read(link);
    EXPECT_EQ(properties.name, QStringLiteral("shortcut"));
    EXPECT_EQ(properties.type, QStringLiteral("符号链接"));
    EXPECT_EQ(properties.linkTarget, file);
    EXPECT_EQ(properties.size, QStringLiteral("1.50KB (1536 字节)"));
    EXPECT_EQ(labelsOf(properties).last(), QStringLiteral("链接目标"));
}

TEST_F(FilePropertiesTest, ABrokenLinkStillDescribesTheLink)
{
    const QString link = temp.path() + QStringLiteral("/dangling");
    ASSERT_TRUE(QFile::link(temp.path() + QStringLiteral("/nothing"), link));
    const FileProperties properties = FileProperties::read(link);
    EXPECT_EQ(properties.type, QStringLiteral("符号链接"));
    EXPECT_TRUE(properties.size.isEmpty());
    EXPECT_EQ(properties.linkTarget, temp.path() + QStringLiteral("/nothing"));
}

TEST(FileTimes, AnUnknownTimeIsSaidSo)
{
    const FileProperties properties =
        FileProperties::read(QStringLiteral("/nonexistent/kevra/missing.txt"));
    EXPECT_EQ(properties.modified, QStringLiteral("未知"));
    EXPECT_TRUE(properties.size.isEmpty());
}

} // namespace
