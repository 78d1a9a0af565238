#include "view/LocalBrowser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

void writeFile(const QString& path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
}

QStringList namesOf(const QVector<CListItem>& rows)
{
    QStringList names;
    for (const CListItem& row : rows)
        names << row.name;
    return names;
}

class LocalBrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        root = temp.path();
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("alpha")));
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("beta")));
        ASSERT_TRUE(QDir(root).mkpath(QStringLiteral(".hiddenfolder")));
        writeFile(root + QStringLiteral("/b.txt"), 1048576);
        writeFile(root + QStringLiteral("/a.txt"), 0);
        writeFile(root + QStringLiteral("/.hidden"), 5);
        writeFile(root + QStringLiteral("/中文 名.bin"), 1023);
    }

    QTemporaryDir temp;
    QString root;
};

TEST_F(LocalBrowserTest, ListsParentFoldersReversedThenFilesAndSkipsHidden)
{
    LocalBrowser browser;
    ASSERT_TRUE(browser.enter(root));
    const QVector<CListItem> rows = browser.list();
    EXPECT_EQ(namesOf(rows), (QStringList{QStringLiteral(".."), QStringLiteral("beta"),
                                          QStringLiteral("alpha"), QStringLiteral("a.txt"),
                                          QStringLiteral("b.txt"), QStringLiteral("中文 名.bin")}));
    EXPECT_TRUE(rows[0].isFolder);
    EXPECT_TRUE(rows[1].isFolder);
    EXPECT_TRUE(rows[1].size.isEmpty());
    EXPECT_EQ(rows[3].size, QStringLiteral("0"));
    EXPECT_EQ(rows[4].size, QStringLiteral("1.00MB"));
    EXPECT_EQ(rows[5].size, QStringLiteral("1023"));
}

TEST_F(LocalBrowserTest, DatesAreMonthDayTwoDigitYear)
{
    QFile file(root + QStringLiteral("/a.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime when(QDate(2026, 12, 7), QTime(14, 22));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
    file.close();
    LocalBrowser browser;
    ASSERT_TRUE(browser.enter(root));
    for (const CListItem& row : browser.list()) {
        if (row.name == QLatin1String("a.txt")) {
            EXPECT_EQ(row.date, QStringLiteral("12/07/26"));
        }
    }
}

TEST_F(LocalBrowserTest, RootHasNoParentRow)
{
    LocalBrowser browser;
    ASSERT_TRUE(browser.enter(QStringLiteral("/")));
    const QVector<CListItem> rows = browser.list();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_NE(rows.first().name, QStringLiteral(".."));
}

TEST_F(LocalBrowserTest, FolderThatCannotBeEnteredKeepsThePreviousOne)
{
    LocalBrowser browser;
    ASSERT_TRUE(browser.enter(root));
    EXPECT_FALSE(browser.enter(root + QStringLiteral("/no-such-folder")));
    EXPECT_FALSE(browser.enter(root + QStringLiteral("/a.txt")));
    EXPECT_EQ(browser.currentFolder(), QDir::cleanPath(root));
}

// Root reads every folder whatever its mode, so this case can only be shown as another user.
TEST_F(LocalBrowserTest, UnreadableFolderCannotBeEntered)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root can enter a folder of mode 000";
    const QString locked = root + QStringLiteral("/alpha");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    LocalBrowser browser;
    ASSERT_TRUE(browser.enter(root));
    EXPECT_FALSE(browser.enter(locked));
    EXPECT_EQ(browser.currentFolder(), QDir::cleanPath(root));
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(LocalBrowserTest, SymlinkedFolderIsShownAndListedAsAFolder)
{
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/alpha"), root + QStringLiteral("/link")));
    LocalBrowser browser;
    ASSERT_TRUE(browser.enter(root));
    bool found = false;
    for (const CListItem& row : browser.list()) {
        if (row.name == QLatin1String("link")) {
            found = true;
            EXPECT_TRUE(row.isFolder);
            EXPECT_TRUE(row.isLink);
        }
    }
    EXPECT_TRUE(found);
}

struct ParentCase {
    const char* folder;
    const char* parent;
};

TEST(LocalBrowserPaths, ParentOfCutsBeforeTheLastSeparator)
{
    const ParentCase cases[] = {{"/data/old", "/data/"},
                                {"/data/old/", "/data/"},
                                {"/data", "/"},
                                {"/", "/"},
                                {"/a/b/c", "/a/b/"}};
    for (const ParentCase& c : cases)
        EXPECT_EQ(LocalBrowser::parentOf(QString::fromUtf8(c.folder)), QString::fromUtf8(c.parent))
            << c.folder;
}

TEST(LocalBrowserPaths, JoinAddsASeparatorOnlyWhenMissing)
{
    EXPECT_EQ(LocalBrowser::join(QStringLiteral("/data"), QStringLiteral("x")),
              QStringLiteral("/data/x"));
    EXPECT_EQ(LocalBrowser::join(QStringLiteral("/"), QStringLiteral("x")), QStringLiteral("/x"));
}

TEST(LocalBrowserPaths, DrivesStartAtRootAndEndWithTheDesktop)
{
    const QStringList drives = LocalBrowser::drives(QStringLiteral("/home/u/Desktop"));
    ASSERT_GE(drives.size(), 2);
    EXPECT_EQ(drives.first(), QStringLiteral("/"));
    EXPECT_EQ(drives.last(), QStringLiteral("/home/u/Desktop/"));
    EXPECT_EQ(drives.count(QStringLiteral("/")), 1);
}

} // namespace
