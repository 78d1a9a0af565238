#include "update/UpdateSettings.h"
#include "update/gui/Cupdata.h"
#include "update/gui/UpdateCommands.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"

#include "ftp/IntegrationSupport.h"
#include "support/FileBytes.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

class UpdateSettingsDialog : public ::testing::Test {
protected:
    static QRadioButton* choice(Cupdata& dialog, int id)
    {
        return dialog.findChild<QRadioButton*>(QStringLiteral("ctl%1").arg(id));
    }

    TemporaryFolder folder{QStringLiteral("kevra-cupdata")};
    QString configPath = folder.filePath(QStringLiteral("ftp.ini"));
};

TEST_F(UpdateSettingsDialog, ShowsTheStoredModeAndAnythingElseAsNotify)
{
    const std::pair<const char*, int> cases[] = {{"", Cupdata::NotifyId},
                                                 {"mode=1", Cupdata::AutomaticId},
                                                 {"mode=2", Cupdata::NotifyId},
                                                 {"mode=3", Cupdata::NeverId},
                                                 {"mode=7", Cupdata::NotifyId}};
    for (const auto& [line, id] : cases) {
        ASSERT_TRUE(integration::writeFile(configPath, QByteArray("[UPdata]\r\n") + line + "\r\n"));
        Cupdata dialog(configPath);
        EXPECT_TRUE(choice(dialog, id)->isChecked()) << line;
    }
}

TEST_F(UpdateSettingsDialog, OkStoresTheChoiceAndCancelNothing)
{
    for (const int id : {Cupdata::AutomaticId, Cupdata::NotifyId, Cupdata::NeverId}) {
        Cupdata dialog(configPath);
        choice(dialog, id)->setChecked(true);
        dialog.accept();
        EXPECT_EQ(UpdateSettings::readMode(configPath, 0), id - 1118) << id;
    }
    const QByteArray before = filebytes::read(configPath);
    Cupdata dialog(configPath);
    choice(dialog, Cupdata::AutomaticId)->setChecked(true);
    dialog.reject();
    EXPECT_EQ(filebytes::read(configPath), before);
}

TEST_F(UpdateSettingsDialog, MenuCommandsReachTheViewAndAskNoServerWithoutOne)
{
    CftpView view;
    Configuration config;
    config.configPath = configPath;
    view.initialUpdate(config);
    ScriptedPrompt prompt;
    UpdateCommands commands(view, prompt, folder.filePath(QStringLiteral("kevra")), QString());

    OnNextModal<Cupdata>([](Cupdata& dialog) {
        choice(dialog, Cupdata::NeverId)->setChecked(true);
        dialog.findChild<QPushButton*>(QStringLiteral("ctl1"))->click();
    });
    view.commands().dispatch(CommandId::UpdateSettings);
    EXPECT_EQ(view.configuration().updateMode, UpdateSettings::Never);

    view.commands().dispatch(CommandId::CheckForUpdates);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("未设置更新服务器")});
}

} // namespace
