#include "config/Configuration.h"
#include "support/ScopedEnvironment.h"
#include "support/ScriptedPrompt.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/LocalFileCommands.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/ViewFeatures.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The main view as the program builds it, in a home folder of its own.
class LocalPaneWiring : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        desktop = home.path() + QStringLiteral("/Desktop");
        ASSERT_TRUE(QDir().mkpath(desktop));
        QFile file(desktop + QStringLiteral("/note.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        environment.set("HOME", home.path().toUtf8());
        environment.set("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
        features.emplace(view, prompt, home.path() + QStringLiteral("/work"));
        view.initialUpdate(Configuration{});
    }

    QStringList shownNames() const
    {
        QStringList names;
        for (int row = 0; row < view.localFiles()->rowCount(); ++row)
            names << view.localFiles()->rowAt(row).texts.value(0);
        return names;
    }

    QTemporaryDir home;
    QString desktop;
    ScopedEnvironment environment;
    CftpView view;
    ScriptedPrompt prompt;
    std::optional<ViewFeatures> features;
};

TEST_F(LocalPaneWiring, StartUpShowsTheDesktop)
{
    EXPECT_EQ(view.localPathBox()->itemText(0), QStringLiteral("/"));
    EXPECT_EQ(view.localPathBox()->currentText(), desktop + QStringLiteral("/"));
    EXPECT_EQ(features->localPane().currentFolder(), desktop);
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("note.txt")}));
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST_F(LocalPaneWiring, DeleteKeyServesTheLocalSelectionThenTheRemoteBranch)
{
    int remoteDeletes = 0;
    features->localCommands().setRemoteDelete([&remoteDeletes] { ++remoteDeletes; });
    view.localList()->selectionModel()->select(
        view.localFiles()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(view.localList(), Qt::Key_Delete);
    EXPECT_EQ(prompt.texts(), QStringList{QStringLiteral("是否删除note.txt")});
    EXPECT_FALSE(QFileInfo::exists(desktop + QStringLiteral("/note.txt")));
    EXPECT_EQ(remoteDeletes, 0);

    QTest::keyClick(view.remoteList(), Qt::Key_Delete);
    EXPECT_EQ(remoteDeletes, 1);
}

} // namespace
