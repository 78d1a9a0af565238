#include "view/gui/CMyListCtrl.h"
#include "view/gui/QueueListModel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QList<int> columnWidths(const CMyListCtrl& list)
{
    QList<int> widths;
    for (int column = 0; column < list.header()->count(); ++column)
        widths << list.header()->sectionSize(column);
    return widths;
}

class CMyListCtrlTest : public ::testing::Test {
protected:
    CMyListCtrlTest()
    {
        list.setModel(&model);
        list.resize(615, 200);
        list.show();
        settle();
    }

    QList<int> evenWidths() const { return QList<int>(12, (list.viewport()->width() - 3) / 12); }

    QueueListModel model;
    CMyListCtrl list{3};
};

TEST_F(CMyListCtrlTest, ColumnsShareTheWidthEvenly)
{
    EXPECT_EQ(columnWidths(list), evenWidths());
    EXPECT_TRUE(list.columnsFollowWidth());
}

TEST_F(CMyListCtrlTest, ColumnsFollowAResize)
{
    list.resize(1215, 200);
    settle();
    EXPECT_EQ(columnWidths(list), evenWidths());
    EXPECT_GT(evenWidths().first(), 90);
}

TEST_F(CMyListCtrlTest, ColumnsStayOnceTheUserSizedOne)
{
    list.header()->resizeSection(0, 250);
    EXPECT_FALSE(list.columnsFollowWidth());
    const QList<int> sized = columnWidths(list);
    list.resize(1215, 200);
    settle();
    EXPECT_EQ(columnWidths(list), sized);
    EXPECT_EQ(sized.first(), 250);
}

TEST_F(CMyListCtrlTest, SelectsWholeRows)
{
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(list.rootIsDecorated());
}

TEST_F(CMyListCtrlTest, RightClickOpensItsMenuAtTheCursor)
{
    QMenu menu;
    menu.addAction(QStringLiteral("全选(&A)"));
    list.setContextMenu(&menu);
    const QPoint inside(40, 60);
    QContextMenuEvent click(QContextMenuEvent::Mouse, inside, list.viewport()->mapToGlobal(inside));
    QApplication::sendEvent(list.viewport(), &click);
    settle();
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(menu.pos(), list.viewport()->mapToGlobal(inside));
    menu.close();
}

TEST_F(CMyListCtrlTest, WithoutAMenuARightClickShowsNothing)
{
    const QPoint inside(40, 60);
    QContextMenuEvent click(QContextMenuEvent::Mouse, inside, list.viewport()->mapToGlobal(inside));
    QApplication::sendEvent(list.viewport(), &click);
    settle();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

} // namespace
