#include "queue/gui/SpeedLimitDialog.h"
#include "config/Configuration.h"
#include "support/TemporaryFolder.h"

#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

TEST(SpeedLimitDialog, ShowsStoresAndAppliesTheLimits)
{
    TemporaryFolder folder(QStringLiteral("limits"));
    const QString ini = folder.filePath(QStringLiteral("ftp.ini"));
    ASSERT_TRUE(StoreSpeedLimits(ini, 100, 0));
    std::pair<int, int> applied{-1, -1};
    SpeedLimitDialog dialog(ini, [&applied](int down, int up) { applied = {down, up}; });
    EXPECT_EQ(dialog.downloadBox()->value(), 100);
    EXPECT_EQ(dialog.uploadBox()->text(), QStringLiteral("不限速"));
    dialog.downloadBox()->setValue(0);
    dialog.uploadBox()->setValue(750);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(applied, std::make_pair(0, 750));
    EXPECT_EQ(ReadTransferSettings(ini).uploadLimit, 750);
}

// Limits that ftp.ini cannot take are neither applied nor taken for stored.
TEST(SpeedLimitDialog, AnUnwritableFileKeepsTheDialogOpen)
{
    const QString ini =
        TemporaryFolder(QStringLiteral("limits")).filePath(QStringLiteral("ftp.ini"));
    bool applied = false;
    SpeedLimitDialog dialog(ini, [&applied](int, int) { applied = true; });
    dialog.uploadBox()->setValue(10);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(applied);
    EXPECT_TRUE(dialog.problem().contains(ini));
}

} // namespace
