#include "archive/ZipPacker.h"

#include "archive/ZipListing.h"
#include "ftp/IntegrationSupport.h"
#include "support/TemporaryFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class ZipPackerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QDir().mkpath(path(QStringLiteral("docs/img")));
        write(QStringLiteral("docs/a.txt"), "docs text");
        write(QStringLiteral("docs/img/b.png"), "png");
        write(QStringLiteral("a.txt"), QByteArray(4000, 'a'));
        write(QStringLiteral("b.txt"), "b");
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const
    {
        ASSERT_TRUE(integration::writeFile(path(name), bytes));
    }
    QStringList pack(const QStringList& names, const QString& archive)
    {
        EXPECT_EQ(packer.pack(names, path(archive)), ZipPacker::Result::Packed);
        return ziplisting::entries(path(archive));
    }

    TemporaryFolder folder{QStringLiteral("zippacker")};
    ZipPacker packer{folder.path()};
};

// The existing archive is replaced; selected, it goes in as content, never the new one itself.
TEST_F(ZipPackerTest, ReplacesTheOldArchiveAndNeverPacksItself)
{
    write(QStringLiteral("a.txt.zip"), "not a zip at all");
    EXPECT_EQ(pack({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("a.txt.zip")},
                   QStringLiteral("a.txt.zip")),
              (QStringList{QStringLiteral("a.txt"), QStringLiteral("a.txt.zip"),
                           QStringLiteral("b.txt")}));
    EXPECT_TRUE(ziplisting::intact(path(QStringLiteral("a.txt.zip"))));
}

TEST_F(ZipPackerTest, CompressedFormatsAreStoredOthersDeflated)
{
    write(QStringLiteral("logs.GZ"), QByteArray(4000, 'g'));
    pack({QStringLiteral("logs.GZ"), QStringLiteral("a.txt")}, QStringLiteral("logs.GZ.zip"));
    const QStringList lines =
        ziplisting::verbose(path(QStringLiteral("logs.GZ.zip"))).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.endsWith(QStringLiteral("logs.GZ"))) {
            EXPECT_TRUE(line.contains(QStringLiteral("Stored"))) << line.toStdString();
        }
        if (line.endsWith(QStringLiteral(" a.txt"))) {
            EXPECT_TRUE(line.contains(QStringLiteral("Defl"))) << line.toStdString();
        }
    }
}

// A link back up the tree is entered once at most, and the walk ends.
TEST_F(ZipPackerTest, LinkLoopsEnd)
{
    ASSERT_TRUE(QFile::link(folder.path(), path(QStringLiteral("docs/up"))));
    const QStringList entries = pack({QStringLiteral("docs")}, QStringLiteral("docs.zip"));
    EXPECT_TRUE(entries.contains(QStringLiteral("docs/up/b.txt")));
    EXPECT_FALSE(entries.contains(QStringLiteral("docs/up/docs/")));
    EXPECT_FALSE(entries.contains(QStringLiteral("docs/up/docs.zip")));
}

TEST_F(ZipPackerTest, UnreadableEntryIsLeftOutAndCounted)
{
    ASSERT_TRUE(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling"))));
    EXPECT_EQ(pack({QStringLiteral("dangling"), QStringLiteral("b.txt")}, QStringLiteral("d.zip")),
              QStringList{QStringLiteral("b.txt")});
    EXPECT_EQ(packer.skippedEntries(), 1);
}

TEST_F(ZipPackerTest, CancelRemovesTheArchive)
{
    std::atomic<bool> cancel{false};
    packer.setCancelFlag(&cancel);
    packer.setProgress([&](const QString&) { cancel = true; });
    EXPECT_EQ(packer.pack({QStringLiteral("docs")}, path(QStringLiteral("docs.zip"))),
              ZipPacker::Result::Cancelled);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("docs.zip"))));
}

} // namespace
