#include "view/gui/LocalPaneFixture.h"

#include "view/gui/CommandIds.h"
#include "view/gui/QueueListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>

namespace {

TextRowsModel::Row fileRow(const char* name, const char* size)
{
    return TextRowsModel::Row{{QString::fromUtf8(name), QString(), QString::fromUtf8(size)}, false};
}

TextRowsModel::Row folderRow(const char* name)
{
    return TextRowsModel::Row{{QString::fromUtf8(name)}, true};
}

QStringList namesOf(const TextRowsModel& model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names << model.rowAt(row).texts.value(0);
    return names;
}

QList<int> selectedRows(const CMyListCtrl& list)
{
    QList<int> rows;
    for (const QModelIndex& index : list.selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

class SharedListBehaviourTest : public LocalPaneFixture {
protected:
    void SetUp() override
    {
        LocalPaneFixture::SetUp();
        view.remoteFiles()->setRows({folderRow(".."), fileRow("big", "2.00GB"), folderRow("pub"),
                                     fileRow("mid", "900.00MB"), fileRow("small", "1.00KB"),
                                     folderRow("docs"), fileRow("tiny", "1023")});
        settle();
    }

    static void clickHeader(CMyListCtrl* list, int column)
    {
        QHeaderView* header = list->header();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    static void clickRow(CMyListCtrl* list, int row, Qt::MouseButton button)
    {
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), button, {}, at);
    }
};

TEST_F(SharedListBehaviourTest, SizeColumnSortsByValueWithParentOnTopAndFoldersFirst)
{
    clickHeader(view.remoteList(), 2);
    EXPECT_EQ(namesOf(*view.remoteFiles()),
              (QStringList{QStringLiteral(".."), QStringLiteral("pub"), QStringLiteral("docs"),
                           QStringLiteral("tiny"), QStringLiteral("small"), QStringLiteral("mid"),
                           QStringLiteral("big")}));
    clickHeader(view.remoteList(), 2);
    EXPECT_EQ(namesOf(*view.remoteFiles()),
              (QStringList{QStringLiteral(".."), QStringLiteral("pub"), QStringLiteral("docs"),
                           QStringLiteral("big"), QStringLiteral("mid"), QStringLiteral("small"),
                           QStringLiteral("tiny")}));
}

TEST_F(SharedListBehaviourTest, FirstClickSortsAscendingAndTheSameColumnOfAnotherListReverses)
{
    makeFolder(QStringLiteral("Beta"));
    makeFolder(QStringLiteral("alpha"));
    writeFile(QStringLiteral("b.txt"));
    writeFile(QStringLiteral("A.txt"));
    pane.RefreshLocalList();

    clickHeader(view.localList(), 0);
    EXPECT_EQ(shownNames(),
              (QStringList{QStringLiteral(".."), QStringLiteral("Beta"), QStringLiteral("alpha"),
                           QStringLiteral("A.txt"), QStringLiteral("b.txt")}));
    clickHeader(view.remoteList(), 0);
    EXPECT_EQ(namesOf(*view.remoteFiles()),
              (QStringList{QStringLiteral(".."), QStringLiteral("pub"), QStringLiteral("docs"),
                           QStringLiteral("tiny"), QStringLiteral("small"), QStringLiteral("mid"),
                           QStringLiteral("big")}));
}

TEST_F(SharedListBehaviourTest, SortedRowsKeepTheirSelection)
{
    view.remoteList()->selectionModel()->select(
        view.remoteFiles()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    clickHeader(view.remoteList(), 2);
    const QList<int> rows = selectedRows(*view.remoteList());
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(view.remoteFiles()->rowAt(rows.first()).texts.value(0), QStringLiteral("big"));
}

TEST_F(SharedListBehaviourTest, QueueListSortsThroughTheSameState)
{
    view.queueEntries()->setRows({{{QStringLiteral("b")}, false},
                                  {{QStringLiteral("c")}, false},
                                  {{QStringLiteral("a")}, false}});
    clickHeader(view.remoteList(), 0);
    clickHeader(view.queueList(), 0);
    EXPECT_EQ(namesOf(*view.queueEntries()),
              (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}));
    clickHeader(view.queueList(), 0);
    EXPECT_EQ(namesOf(*view.queueEntries()),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

TEST_F(SharedListBehaviourTest, CtrlASelectsEveryRowButTheParentRow)
{
    writeFile(QStringLiteral("a.txt"));
    writeFile(QStringLiteral("b.txt"));
    pane.RefreshLocalList();
    view.localList()->setFocus();
    QTest::keyClick(view.localList(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(*view.localList()), (QList<int>{1, 2}));
    EXPECT_EQ(view.localList()->currentIndex().row(), 1);

    view.queueEntries()->setRows(
        {{{QStringLiteral("q1")}, false}, {{QStringLiteral("q2")}, false}});
    QTest::keyClick(view.queueList(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(*view.queueList()), (QList<int>{0, 1}));
}

TEST_F(SharedListBehaviourTest, SelectAllCommandsOfTheThreeMenus)
{
    view.commands().dispatch(CommandId::RemoteSelectAll);
    EXPECT_EQ(selectedRows(*view.remoteList()), (QList<int>{1, 2, 3, 4, 5, 6}));
    view.commands().dispatch(CommandId::LocalSelectAll);
    EXPECT_TRUE(selectedRows(*view.localList()).isEmpty());
    view.queueEntries()->setRows({{{QStringLiteral("..")}, false}, {{QStringLiteral("q")}, false}});
    view.commands().dispatch(CommandId::QueueSelectAll);
    EXPECT_EQ(selectedRows(*view.queueList()), (QList<int>{1}));
}

TEST_F(SharedListBehaviourTest, AClickOnOneFileListClearsTheOthersSelection)
{
    writeFile(QStringLiteral("a.txt"));
    pane.RefreshLocalList();
    view.commands().dispatch(CommandId::RemoteSelectAll);
    clickRow(view.localList(), rowOf(QStringLiteral("a.txt")), Qt::LeftButton);
    EXPECT_TRUE(selectedRows(*view.remoteList()).isEmpty());
    EXPECT_EQ(selectedRows(*view.localList()), (QList<int>{rowOf(QStringLiteral("a.txt"))}));

    clickRow(view.remoteList(), 2, Qt::RightButton);
    settle();
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
        menu->close();
    EXPECT_TRUE(selectedRows(*view.localList()).isEmpty());
    EXPECT_EQ(selectedRows(*view.remoteList()), (QList<int>{2}));

    view.queueEntries()->setRows({{{QStringLiteral("q")}, false}});
    clickRow(view.queueList(), 0, Qt::LeftButton);
    EXPECT_EQ(selectedRows(*view.remoteList()), (QList<int>{2}));
}

// Menu commands act on the selection, so a click that chose no row must leave none chosen.
// Only the press reaches the list: the menu that opens takes the release.
TEST_F(SharedListBehaviourTest, ARightClickBesideTheRowsClearsThatListsSelection)
{
    writeFile(QStringLiteral("a.txt"));
    pane.RefreshLocalList();
    view.queueEntries()->setRows({{{QStringLiteral("q")}, false}});
    settle();
    for (CMyListCtrl* list : {view.remoteList(), view.localList(), view.queueList()}) {
        list->selectionModel()->select(list->model()->index(list->model()->rowCount() - 1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ASSERT_FALSE(selectedRows(*list).isEmpty());
        const QPoint below(10, list->viewport()->height() - 4);
        ASSERT_FALSE(list->indexAt(below).isValid());
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, below);
        settle();
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            menu->close();
        EXPECT_TRUE(selectedRows(*list).isEmpty()) << list->objectName().toStdString();
    }
}

TEST_F(SharedListBehaviourTest, DeleteOnTheQueueListRemovesQueueEntries)
{
    int removals = 0;
    int deletes = 0;
    view.commands().setHandler(CommandId::QueueRemove, [&removals] { ++removals; });
    view.commands().setHandler(CommandId::Delete, [&deletes] { ++deletes; });
    QTest::keyClick(view.queueList(), Qt::Key_Delete);
    EXPECT_EQ(removals, 1);
    QTest::keyClick(view.localList(), Qt::Key_Delete);
    QTest::keyClick(view.remoteList(), Qt::Key_Delete);
    EXPECT_EQ(deletes, 2);
    EXPECT_EQ(removals, 1);
}

TEST(TextRowsModelReorder, IgnoresAnythingButAPermutation)
{
    TextRowsModel model({{QStringLiteral("name"), Qt::AlignLeft}});
    model.setRows({{{QStringLiteral("a")}, false},
                   {{QStringLiteral("b")}, false},
                   {{QStringLiteral("c")}, false}});
    const QStringList unchanged{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    for (const QList<qsizetype>& order :
         {QList<qsizetype>{0, 1}, QList<qsizetype>{0, 1, 1}, QList<qsizetype>{0, 1, 3},
          QList<qsizetype>{-1, 0, 1}, QList<qsizetype>{0, 1, 2, 0}}) {
        model.reorder(order);
        EXPECT_EQ(namesOf(model), unchanged);
    }
    model.reorder({2, 0, 1});
    EXPECT_EQ(namesOf(model),
              (QStringList{QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")}));
}

} // namespace
