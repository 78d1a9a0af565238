#include "accounts/gui/Cftplist.h"

#include "accounts/AccountFile.h"
#include "accounts/gui/RecordingPrompt.h"
#include "support/ModalDialogs.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

AccountRecord account(const char* server, const char* port, const char* user, const char* password)
{
    return {text(server), text(port), text(user), text(password)};
}

class CftplistTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        dialog_.setListPath(path());
    }

    QString path() const { return AccountListPath(folder_.path()); }

    void save(const QList<AccountRecord>& records) const
    {
        ASSERT_EQ(RewriteAccountList(path(), records), AccountWrite::Written);
    }

    void saveABC() const
    {
        save({account("a.example", "21", "ua", "pa"), account("b.example", "2121", "ub", "pb"),
              account("c.example", "990", "uc", "pc")});
    }

    QStringList savedServers() const
    {
        QStringList servers;
        for (const AccountRecord& record : LoadAccountList(path()))
            servers.append(record.server);
        return servers;
    }

    QByteArray fileBytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTreeWidget* list() const { return dialog_.findChild<QTreeWidget*>(QStringLiteral("ctl1000")); }

    QStringList shownColumn(int column) const
    {
        QStringList cells;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            cells.append(list()->topLevelItem(i)->text(column));
        return cells;
    }

    void select(const char* server) const
    {
        const QList<QTreeWidgetItem*> rows = list()->findItems(text(server), Qt::MatchExactly, 0);
        ASSERT_EQ(rows.size(), 1) << server;
        list()->setCurrentItem(rows.first());
        ASSERT_TRUE(rows.first()->isSelected());
    }

    void click(int id) const
    {
        auto* button = dialog_.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
        ASSERT_NE(button, nullptr) << "button " << id;
        button->click();
    }

    bool picked() const { return !dialog_.isVisible() && dialog_.result() == QDialog::Accepted; }

    QTemporaryDir folder_;
    RecordingPrompt prompt_;
    Cftplist dialog_{prompt_};
};

TEST_F(CftplistTest, HasItsColumnsButtonsAndMenu)
{
    saveABC();
    dialog_.show();
    EXPECT_EQ(dialog_.windowTitle(), text("服务器列表"));
    QTreeWidgetItem* header = list()->headerItem();
    const char* headers[] = {"IP", "PORT", "User", "Pass"};
    const int widths[] = {78, 40, 78, 78};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(header->text(column), text(headers[column]));
        EXPECT_EQ(list()->columnWidth(column), widths[column]);
    }
    EXPECT_FALSE(header->textAlignment(0) & Qt::AlignHCenter);
    EXPECT_TRUE(header->textAlignment(1) & Qt::AlignHCenter);
    EXPECT_TRUE(list()->topLevelItem(0)->textAlignment(1) & Qt::AlignHCenter);
    EXPECT_EQ(list()->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(shownColumn(3), QStringList(3, text("******")));

    const std::pair<int, const char*> buttons[] = {
        {1, "确定"}, {6, "编辑"}, {3, "删除"}, {2, "取消"}};
    for (const auto& [id, caption] : buttons) {
        auto* button = dialog_.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), text(caption));
        EXPECT_EQ(button->property("controlId").toInt(), id);
    }

    auto* menu = dialog_.findChild<QMenu*>(QStringLiteral("ftplist"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), text("删除(&D)"));
    EXPECT_EQ(menu->actions()[0]->data().toInt(), 32825);
    EXPECT_EQ(menu->actions()[0]->statusTip(), text("删除该项"));
}

TEST_F(CftplistTest, ShowsTheLastRecordFirst)
{
    saveABC();
    dialog_.show();
    EXPECT_EQ(shownColumn(0),
              QStringList({text("c.example"), text("b.example"), text("a.example")}));
    EXPECT_EQ(shownColumn(1), QStringList({text("990"), text("2121"), text("21")}));
    EXPECT_EQ(shownColumn(2), QStringList({text("uc"), text("ub"), text("ua")}));
}

TEST_F(CftplistTest, DeleteRewritesTheFileInTheShownOrder)
{
    saveABC();
    dialog_.show();
    select("b.example");
    click(3);
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_TRUE(prompt_.calls.isEmpty()) << "deleting does not ask";
    EXPECT_EQ(shownColumn(0), QStringList({text("c.example"), text("a.example")}));
    EXPECT_EQ(savedServers(), QStringList({text("c.example"), text("a.example")}));

    Cftplist reopened(prompt_);
    reopened.setListPath(path());
    reopened.show();
    auto* reopenedList = reopened.findChild<QTreeWidget*>(QStringLiteral("ctl1000"));
    ASSERT_EQ(reopenedList->topLevelItemCount(), 2);
    EXPECT_EQ(reopenedList->topLevelItem(0)->text(0), text("a.example"));
    EXPECT_EQ(reopenedList->topLevelItem(1)->text(0), text("c.example"));
}

TEST_F(CftplistTest, ContextMenuDeletesTheSelectedRow)
{
    saveABC();
    dialog_.show();
    select("a.example");
    const QRect row = list()->visualItemRect(list()->topLevelItem(2));
    Q_EMIT list()->customContextMenuRequested(row.center());
    auto* menu = dialog_.findChild<QMenu*>(QStringLiteral("ftplist"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions()[0]).center());
    EXPECT_EQ(savedServers(), QStringList({text("c.example"), text("b.example")}));
}

TEST_F(CftplistTest, DeleteWithoutSelectionChangesNothing)
{
    saveABC();
    const QByteArray before = fileBytes();
    dialog_.show();
    click(3);
    EXPECT_EQ(list()->topLevelItemCount(), 3);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(CftplistTest, PickingAfterADeleteGivesThatRowsOwnPassword)
{
    saveABC();
    dialog_.show();
    select("b.example");
    click(3);
    select("c.example");
    click(1);
    ASSERT_TRUE(picked());
    EXPECT_EQ(dialog_.server(), text("c.example"));
    EXPECT_EQ(dialog_.port(), text("990"));
    EXPECT_EQ(dialog_.user(), text("uc"));
    EXPECT_EQ(dialog_.password(), text("pc"));

    save({account("a.example", "21", "ua", "pa"), account("b.example", "2121", "ub", "pb"),
          account("c.example", "990", "uc", "pc")});
    dialog_.show();
    select("b.example");
    click(3);
    select("a.example");
    click(1);
    ASSERT_TRUE(picked());
    EXPECT_EQ(dialog_.password(), text("pa"));
}

TEST_F(CftplistTest, PickedValuesAreTrimmed)
{
    save({account("  spaced.example ", " 21 ", " ann\t", " secret ")});
    dialog_.show();
    select("  spaced.example ");
    click(1);
    ASSERT_TRUE(picked());
    EXPECT_EQ(dialog_.server(), text("spaced.example"));
    EXPECT_EQ(dialog_.port(), text("21"));
    EXPECT_EQ(dialog_.user(), text("ann"));
    EXPECT_EQ(dialog_.password(), text("secret"));
}

TEST_F(CftplistTest, PickingWithoutSelectionClosesAsCancelled)
{
    saveABC();
    dialog_.show();
    click(1);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog_.server().isEmpty());
    EXPECT_TRUE(dialog_.password().isEmpty());
}

TEST_F(CftplistTest, DoubleClickPicksTheRow)
{
    saveABC();
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    const QRect row = list()->visualItemRect(list()->topLevelItem(1));
    // The view only takes a double-click on the row its last press went to.
    QTest::mousePress(list()->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_TRUE(picked());
    EXPECT_EQ(dialog_.server(), text("b.example"));
    EXPECT_EQ(dialog_.password(), text("pb"));
}

TEST_F(CftplistTest, CancelClosesWithoutResults)
{
    saveABC();
    dialog_.show();
    select("a.example");
    click(2);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog_.server().isEmpty());
}

void typeInto(QDialog& dialog, int id, const char* value)
{
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
    ASSERT_NE(edit, nullptr);
    edit->setText(text(value));
}

QString fieldOf(QDialog& dialog, int id)
{
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
    return edit ? edit->text() : QStringLiteral("<missing>");
}

TEST_F(CftplistTest, EditChangesTheRowAndRewritesTheFile)
{
    saveABC();
    dialog_.show();
    select("b.example");
    QStringList shownInEditor;
    OnNextModal<CIDDlg>([&](CIDDlg& editor) {
        for (int id : {1003, 1007, 1009, 1010})
            shownInEditor.append(fieldOf(editor, id));
        typeInto(editor, 1007, "8021");
        typeInto(editor, 1010, "new secret");
        editor.accept();
    });
    click(6);
    EXPECT_EQ(shownInEditor,
              QStringList({text("b.example"), text("2121"), text("ub"), text("pb")}));
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(shownColumn(1), QStringList({text("990"), text("8021"), text("21")}));

    const QList<AccountRecord> saved = LoadAccountList(path());
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(savedServers(),
              QStringList({text("c.example"), text("b.example"), text("a.example")}));
    EXPECT_EQ(saved[1].port, text("8021"));
    EXPECT_EQ(saved[1].password, text("new secret"));
    EXPECT_EQ(saved[0].password, text("pc"));

    select("b.example");
    click(1);
    ASSERT_TRUE(picked());
    EXPECT_EQ(dialog_.password(), text("new secret"));
}

TEST_F(CftplistTest, CancelledEditChangesNothing)
{
    saveABC();
    const QByteArray before = fileBytes();
    dialog_.show();
    select("c.example");
    OnNextModal<CIDDlg>([](CIDDlg& editor) {
        typeInto(editor, 1003, "changed.example");
        editor.reject();
    });
    click(6);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(shownColumn(0),
              QStringList({text("c.example"), text("b.example"), text("a.example")}));
}

TEST_F(CftplistTest, EditOfANonNumericPortStartsFromZeroAndIsRefused)
{
    save({account("odd.example", "ftp", "u", "p")});
    dialog_.show();
    select("odd.example");
    QString shownPort;
    bool stayedOpen = false;
    OnNextModal<CIDDlg>([&](CIDDlg& editor) {
        shownPort = fieldOf(editor, 1007);
        editor.accept();
        stayedOpen = editor.isVisible();
    });
    click(6);
    EXPECT_EQ(shownPort, text("0"));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(prompt_.texts(), QStringList{text("端口不能为空")});
    EXPECT_EQ(LoadAccountList(path())[0].port, text("ftp")) << "the refused edit wrote nothing";
}

TEST_F(CftplistTest, EditWithoutSelectionClosesAsCancelled)
{
    saveABC();
    dialog_.show();
    click(6);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
}

TEST_F(CftplistTest, MissingFileShowsAnEmptyList)
{
    dialog_.show();
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    click(3);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(CftplistTest, EachOpeningReloadsTheFile)
{
    saveABC();
    dialog_.show();
    dialog_.reject();
    save({account("only.example", "21", "u", "p")});
    dialog_.show();
    EXPECT_EQ(shownColumn(0), QStringList{text("only.example")});
    select("only.example");
    click(1);
    EXPECT_EQ(dialog_.password(), text("p"));
}

TEST_F(CftplistTest, FailedRewriteIsReported)
{
    const QString folder = folder_.filePath(QStringLiteral("work"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString listPath = AccountListPath(folder);
    ASSERT_EQ(RewriteAccountList(listPath, {account("a.example", "21", "u", "p")}),
              AccountWrite::Written);
    dialog_.setListPath(listPath);
    dialog_.show();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    select("a.example");
    click(3);
    EXPECT_EQ(prompt_.texts(), QStringList{text("服务器列表保存失败")});
}

} // namespace
