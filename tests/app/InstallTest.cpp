// `make install` and `make uninstall` into a PREFIX of the test's own.

#include "support/RunProgram.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QStringList installedFiles{
    QStringLiteral("bin/kevra"),
    QStringLiteral("share/applications/kevra.desktop"),
    QStringLiteral("share/icons/hicolor/scalable/apps/kevra.svg"),
    QStringLiteral("share/icons/hicolor/16x16/apps/kevra.png"),
    QStringLiteral("share/icons/hicolor/48x48/apps/kevra.png"),
    QStringLiteral("share/icons/hicolor/256x256/apps/kevra.png"),
};

TEST(InstallTest, InstallsAValidDesktopEntryAndUninstallsEverything)
{
    TemporaryFolder prefix(QStringLiteral("prefix"));
    const auto installed = [&](const QString& file) { return prefix.filePath(file); };
    const ProgramRun install =
        runProgram(QStringLiteral("cmake"),
                   {QStringLiteral("--install"), QStringLiteral(KEVRA_BINARY_DIR),
                    QStringLiteral("--prefix"), prefix.path()},
                   120000);
    ASSERT_EQ(install.exitCode, 0) << install.errors.toStdString();
    for (const QString& file : installedFiles)
        EXPECT_TRUE(QFile::exists(installed(file))) << file.toStdString();
    EXPECT_TRUE(QFile::permissions(installed(QStringLiteral("bin/kevra"))) & QFile::ExeOwner);

    const QString desktop = installed(QStringLiteral("share/applications/kevra.desktop"));
    const ProgramRun validate = runProgram(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(validate.exitCode, 0);
    EXPECT_EQ(validate.output + validate.errors, QByteArray()); // hints count too
    QFile entry(desktop);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
    for (const char* line :
         {"Exec=kevra %u", "Icon=kevra",
          "MimeType=x-scheme-handler/ftp;x-scheme-handler/ftpes;x-scheme-handler/sftp;",
          "Categories=Network;FileTransfer;"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(line))) << line;

    // Someone else's file beside ours stays.
    const QString foreign = installed(QStringLiteral("bin/other-tool"));
    QFile(foreign).open(QIODevice::WriteOnly);
    const ProgramRun uninstall =
        runProgram(QStringLiteral("make"),
                   {QStringLiteral("-s"), QStringLiteral("-C"), QStringLiteral(KEVRA_SOURCE_DIR),
                    QStringLiteral("uninstall"), QStringLiteral("PREFIX=") + prefix.path()},
                   120000);
    ASSERT_EQ(uninstall.exitCode, 0) << uninstall.errors.toStdString();
    for (const QString& file : installedFiles)
        EXPECT_FALSE(QFile::exists(installed(file))) << file.toStdString();
    EXPECT_TRUE(QFile::exists(foreign));
}

} // namespace
