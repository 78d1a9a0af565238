#include "view/gui/LocalPaneFixture.h"

#include "support/ScopedEnvironment.h"
#include "view/LocalBrowser.h"
#include "view/gui/CommandIds.h"

#include <QComboBox>
#include <QDateTime>
#include <QIcon>
#include <QLineEdit>

namespace {

using LocalPaneStart = LocalPaneFixture;

TEST_F(LocalPaneStart, PathBoxHoldsTheRootTheVolumesAndTheDesktopWhichIsShown)
{
    const QStringList items = pathBoxItems();
    EXPECT_EQ(items, LocalBrowser::drives(desktop));
    EXPECT_EQ(items.first(), QStringLiteral("/"));
    EXPECT_EQ(items.last(), desktop + QStringLiteral("/"));
    EXPECT_EQ(view.localPathBox()->currentIndex(), items.size() - 1);
    EXPECT_EQ(view.localPathBox()->currentText(), desktop + QStringLiteral("/"));
    EXPECT_EQ(pane.currentFolder(), desktop);
    EXPECT_EQ(shownNames(), QStringList{QStringLiteral("..")});
    EXPECT_TRUE(prompt.texts().isEmpty());
}

TEST(LocalPaneStartWithoutDesktop, ReportsTheFailureAndShowsTheRoot)
{
    CftpView view;
    ScriptedPrompt prompt;
    LocalPaneController pane(view, prompt);
    pane.fillLocalDrives(QString());
    pane.enterDesktopFolder();

    const auto asked = prompt.asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, QStringLiteral("获取路径失败"));
    EXPECT_EQ(asked[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(view.localPathBox()->itemText(view.localPathBox()->count() - 1), QStringLiteral("/"));
    EXPECT_EQ(pane.currentFolder(), QStringLiteral("/"));
    ASSERT_GT(view.localFiles()->rowCount(), 0);
    EXPECT_NE(view.localFiles()->rowAt(0).texts.value(0), QStringLiteral(".."));
}

TEST(LocalPaneStartWithoutDesktop, AMissingDesktopFolderGivesWayToTheHomeFolder)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ScopedEnvironment environment;
    environment.set("HOME", home.path().toUtf8());
    CftpView view;
    ScriptedPrompt prompt;
    LocalPaneController pane(view, prompt);
    pane.fillLocalDrives(home.path() + QStringLiteral("/Desktop"));
    pane.enterDesktopFolder();

    EXPECT_TRUE(prompt.texts().isEmpty());
    EXPECT_EQ(view.localPathBox()->currentText(), home.path() + QStringLiteral("/"));
    EXPECT_EQ(pane.currentFolder(), home.path());
}

class LocalPaneListing : public LocalPaneFixture {
protected:
    void SetUp() override
    {
        LocalPaneFixture::SetUp();
        makeFolder(QStringLiteral("alpha"));
        makeFolder(QStringLiteral("beta"));
        makeFolder(QStringLiteral(".secret"));
        writeFile(QStringLiteral("empty.txt"), 0);
        writeFile(QStringLiteral("k1023.bin"), 1023);
        writeFile(QStringLiteral("k1024.bin"), 1024);
        writeFile(QStringLiteral("m1.iso"), 1048576);
        writeFile(QStringLiteral(".hidden"), 5);
        pane.RefreshLocalList();
    }
};

TEST_F(LocalPaneListing, ParentOnTopThenFoldersThenFilesWithoutHiddenEntries)
{
    EXPECT_EQ(shownNames(),
              (QStringList{QStringLiteral(".."), QStringLiteral("beta"), QStringLiteral("alpha"),
                           QStringLiteral("empty.txt"), QStringLiteral("k1023.bin"),
                           QStringLiteral("k1024.bin"), QStringLiteral("m1.iso")}));
    const FileListModel& model = *view.localFiles();
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(model.rowAt(row).folder) << row;
    for (int row = 3; row < model.rowCount(); ++row)
        EXPECT_FALSE(model.rowAt(row).folder) << row;
}

TEST_F(LocalPaneListing, SizesAreSizeTextsAndFoldersHaveNone)
{
    EXPECT_EQ(column(2), (QStringList{QString(), QString(), QString(), QStringLiteral("0"),
                                      QStringLiteral("1023"), QStringLiteral("1.00KB"),
                                      QStringLiteral("1.00MB")}));
}

TEST_F(LocalPaneListing, DatesAreMonthDayAndTwoDigitYear)
{
    QFile file(path(QStringLiteral("empty.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(10, 30)),
                                 QFileDevice::FileModificationTime));
    file.close();
    view.commands().dispatch(CommandId::LocalRefresh);
    EXPECT_EQ(view.localFiles()->rowAt(rowOf(QStringLiteral("empty.txt"))).texts.value(1),
              QStringLiteral("12/07/26"));
}

TEST_F(LocalPaneListing, RowsShowIconsChosenFromTheirNames)
{
    for (const QString& name : {QStringLiteral(".."), QStringLiteral("alpha"),
                                QStringLiteral("k1023.bin"), QStringLiteral("empty.txt")}) {
        const QVariant icon = indexOf(name).data(Qt::DecorationRole);
        ASSERT_TRUE(icon.canConvert<QIcon>()) << name.toStdString();
        EXPECT_FALSE(icon.value<QIcon>().isNull()) << name.toStdString();
    }
    EXPECT_FALSE(indexOf(QStringLiteral("alpha"), 1).data(Qt::DecorationRole).isValid());
}

TEST_F(LocalPaneListing, RefreshShowsChangesMadeOutsideTheProgram)
{
    writeFile(QStringLiteral("late.txt"));
    EXPECT_EQ(rowOf(QStringLiteral("late.txt")), -1);
    view.commands().dispatch(CommandId::LocalRefresh);
    EXPECT_EQ(rowOf(QStringLiteral("late.txt")), 6);
}

using LocalPaneNavigation = LocalPaneListing;

TEST_F(LocalPaneNavigation, DoubleClickGoesDownAndParentRowGoesUp)
{
    writeFile(QStringLiteral("alpha/inner.txt"));
    const qsizetype itemsBefore = pathBoxItems().size();
    doubleClick(QStringLiteral("alpha"));
    EXPECT_EQ(pane.currentFolder(), path(QStringLiteral("alpha")));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("inner.txt")}));
    EXPECT_EQ(pathBoxItems().size(), itemsBefore + 1);
    EXPECT_EQ(pathBoxItems().last(), path(QStringLiteral("alpha")));
    EXPECT_EQ(view.localPathBox()->currentIndex(), itemsBefore);

    doubleClick(QStringLiteral(".."));
    EXPECT_EQ(pane.currentFolder(), desktop);
    EXPECT_EQ(pathBoxItems().last(), desktop + QStringLiteral("/"));
    EXPECT_EQ(view.localPathBox()->currentText(), desktop + QStringLiteral("/"));
    EXPECT_EQ(pathBoxItems().size(), itemsBefore + 2);
}

TEST_F(LocalPaneNavigation, EnterOpensTheSelectedFolderAndBackspaceGoesUp)
{
    view.localList()->setFocus();
    selectNames({QStringLiteral("beta")});
    QTest::keyClick(view.localList(), Qt::Key_Return);
    EXPECT_EQ(pane.currentFolder(), path(QStringLiteral("beta")));
    QTest::keyClick(view.localList(), Qt::Key_Backspace);
    EXPECT_EQ(pane.currentFolder(), desktop);
    EXPECT_EQ(pathBoxItems().mid(pathBoxItems().size() - 2),
              (QStringList{path(QStringLiteral("beta")), desktop + QStringLiteral("/")}));
}

TEST_F(LocalPaneNavigation, GoingUpTwiceAddsTwoItemsAndTheRootListsItselfAgain)
{
    const qsizetype itemsBefore = pathBoxItems().size();
    pane.navigateTo(QStringLiteral("/"));
    pane.goUp();
    pane.goUp();
    EXPECT_EQ(pane.currentFolder(), QStringLiteral("/"));
    EXPECT_EQ(pathBoxItems().mid(itemsBefore),
              (QStringList{QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("/")}));
    EXPECT_NE(rowOf(QStringLiteral("tmp")), -1);
    EXPECT_EQ(rowOf(QStringLiteral("..")), -1);
}

TEST_F(LocalPaneNavigation, OpeningAFileRunsTheUploadCommand)
{
    int uploads = 0;
    view.commands().setHandler(CommandId::LocalUpload, [&uploads] { ++uploads; });
    doubleClick(QStringLiteral("m1.iso"));
    EXPECT_EQ(uploads, 1);
    EXPECT_EQ(pane.currentFolder(), desktop);
}

TEST_F(LocalPaneNavigation, AMissingFolderInThePathBoxKeepsThePreviousListing)
{
    writeFile(QStringLiteral("alpha/inner.txt"));
    pane.navigateTo(path(QStringLiteral("alpha")));
    const qsizetype itemsBefore = pathBoxItems().size();
    view.localPathBox()->setEditText(path(QStringLiteral("alpha/missing")));
    EXPECT_EQ(pane.currentFolder(), path(QStringLiteral("alpha")));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("inner.txt")}));
    EXPECT_EQ(view.localPathBox()->currentText(), path(QStringLiteral("alpha/missing")));
    EXPECT_EQ(pathBoxItems().size(), itemsBefore);
}

TEST_F(LocalPaneNavigation, TypingAMissingFolderKeepsTheLastFolderThatCouldBeEntered)
{
    const QStringList before = shownNames();
    const qsizetype itemsBefore = pathBoxItems().size();
    QLineEdit* edit = view.localPathBox()->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, path(QStringLiteral("nowhere")));
    EXPECT_EQ(view.localPathBox()->currentText(), path(QStringLiteral("nowhere")));
    EXPECT_EQ(pane.currentFolder(), desktop);
    EXPECT_EQ(shownNames(), before);
    EXPECT_EQ(pathBoxItems().size(), itemsBefore);
}

TEST_F(LocalPaneNavigation, TypingAFolderEntersItAtOnce)
{
    writeFile(QStringLiteral("alpha/inner.txt"));
    QLineEdit* edit = view.localPathBox()->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, path(QStringLiteral("alph")));
    EXPECT_EQ(pane.currentFolder(), desktop);
    QTest::keyClicks(edit, QStringLiteral("a"));
    EXPECT_EQ(pane.currentFolder(), path(QStringLiteral("alpha")));
    EXPECT_EQ(shownNames(), (QStringList{QStringLiteral(".."), QStringLiteral("inner.txt")}));
}

TEST_F(LocalPaneNavigation, PickingAPathBoxItemEntersIt)
{
    pane.navigateTo(path(QStringLiteral("alpha")));
    view.localPathBox()->setCurrentIndex(0);
    EXPECT_EQ(pane.currentFolder(), QStringLiteral("/"));
    view.localPathBox()->setCurrentIndex(view.localPathBox()->count() - 1);
    EXPECT_EQ(pane.currentFolder(), path(QStringLiteral("alpha")));
}

TEST_F(LocalPaneNavigation, AFolderThatCannotBeEnteredKeepsShowingThePreviousOne)
{
    const QStringList before = shownNames();
    pane.navigateTo(path(QStringLiteral("k1024.bin")));
    EXPECT_EQ(pane.currentFolder(), desktop);
    EXPECT_EQ(shownNames(), before);
    EXPECT_EQ(view.localPathBox()->currentText(), path(QStringLiteral("k1024.bin")));
}

} // namespace
