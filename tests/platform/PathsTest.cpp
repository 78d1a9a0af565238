#include "platform/Paths.h"

#include "support/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A home folder of its own, with or without an xdg user-dirs file naming the special folders.
class PathsTest : public ::testing::Test {
protected:
    PathsTest()
    {
        environment_.set("HOME", QFile::encodeName(home()));
        environment_.set("XDG_CONFIG_HOME", QFile::encodeName(home() + QStringLiteral("/config")));
    }

    QString home() const { return dir_.path(); }

    void writeUserDirs(const QByteArray& contents) const
    {
        ASSERT_TRUE(QDir().mkpath(home() + QStringLiteral("/config")));
        QFile file(home() + QStringLiteral("/config/user-dirs.dirs"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

private:
    QTemporaryDir dir_;
    ScopedEnvironment environment_;
};

TEST_F(PathsTest, WithoutUserDirsTheUsualFoldersUnderHome)
{
    EXPECT_EQ(Paths::documentsFolder(), home() + QStringLiteral("/Documents"));
    EXPECT_EQ(Paths::desktopFolder(), home() + QStringLiteral("/Desktop"));
    EXPECT_EQ(Paths::workFolder(), home() + QStringLiteral("/Documents/ftpwork"));
}

TEST_F(PathsTest, UserDirsNameTheFolders)
{
    writeUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/文档\"\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n");
    EXPECT_EQ(Paths::documentsFolder(), home() + QString::fromUtf8("/文档"));
    EXPECT_EQ(Paths::desktopFolder(), home() + QString::fromUtf8("/桌面"));
    EXPECT_EQ(Paths::workFolder(), home() + QString::fromUtf8("/文档/ftpwork"));
}

TEST(Paths, WorkFolderIsFormedFromAnyDocumentsFolder)
{
    EXPECT_EQ(Paths::workFolder(QStringLiteral("/srv/docs")), QStringLiteral("/srv/docs/ftpwork"));
    EXPECT_EQ(Paths::workFolder(QString()), QStringLiteral("/ftpwork"));
}

} // namespace
