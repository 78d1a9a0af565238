#include "accounts/gui/Cftplist.h"

#include "accounts/AccountCommands.h"
#include "accounts/AccountFile.h"
#include "platform/Prompt.h"
#include "platform/gui/TagControl.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { ServerColumn, PortColumn, UserColumn, PasswordColumn };
constexpr int RecordNumberRole = Qt::UserRole;

void setupColumns(QTreeWidget* list)
{
    list->setColumnCount(4);
    list->setHeaderLabels({QStringLiteral("IP"), QStringLiteral("PORT"), QStringLiteral("User"),
                           QStringLiteral("Pass")});
    const int widths[] = {78, 40, 78, 78};
    for (int column = ServerColumn; column <= PasswordColumn; ++column) {
        list->setColumnWidth(column, widths[column]);
        if (column != ServerColumn)
            list->headerItem()->setTextAlignment(column, Qt::AlignCenter);
    }
}

} // namespace

Cftplist::Cftplist(Prompt& prompt, QWidget* parent)
    : QDialog(parent), prompt_(prompt), list_(new QTreeWidget(this)), editor_(prompt, this)
{
    setWindowTitle(QStringLiteral("服务器列表"));
    resize(281, 322);
    TagControl(list_, ListId);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->header()->setStretchLastSection(false);
    setupColumns(list_);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { onCommand(PickId); });
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { contextMenu_->popup(list_->viewport()->mapToGlobal(at)); });

    auto* buttons = new QHBoxLayout;
    addButton(buttons, QStringLiteral("确定"), PickId);
    addButton(buttons, QStringLiteral("编辑"), EditId);
    addButton(buttons, QStringLiteral("删除"), DeleteId);
    addButton(buttons, QStringLiteral("取消"), CancelId);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    buildContextMenu();
}

void Cftplist::addButton(QHBoxLayout* row, const QString& text, int id)
{
    auto* button = new QPushButton(text, this);
    TagControl(button, id);
    button->setDefault(id == PickId);
    button->setAutoDefault(id == PickId);
    connect(button, &QPushButton::clicked, this, [this, id] { onCommand(id); });
    row->addWidget(button);
}

void Cftplist::buildContextMenu()
{
    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("ftplist"));
    QAction* remove = contextMenu_->addAction(QStringLiteral("删除(&D)"));
    remove->setData(DeleteCommandId);
    remove->setStatusTip(QStringLiteral("删除该项"));
    connect(contextMenu_, &QMenu::triggered, this,
            [this](QAction* action) { onCommand(action->data().toInt()); });
}

void Cftplist::onCommand(int id)
{
    switch (id) {
    case PickId:
        pick();
        break;
    case EditId:
        editSelected();
        break;
    case DeleteId:
    case DeleteCommandId:
        deleteSelected();
        break;
    case CancelId:
        reject();
        break;
    default:
        break;
    }
}

void Cftplist::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        reload();
    QDialog::showEvent(event);
}

// Each record goes on top of the ones before it, so the newest saved account comes first.
void Cftplist::reload()
{
    list_->clear();
    passwords_.clear();
    for (const AccountRecord& record : LoadAccountList(listPath_)) {
        auto* row = new QTreeWidgetItem(
            {record.server, record.port, record.user, QStringLiteral("******")});
        for (int column = PortColumn; column <= PasswordColumn; ++column)
            row->setTextAlignment(column, Qt::AlignCenter);
        row->setData(ServerColumn, RecordNumberRole, record.number);
        list_->insertTopLevelItem(0, row);
        passwords_.append(record.password);
    }
}

QTreeWidgetItem* Cftplist::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QString Cftplist::passwordOf(const QTreeWidgetItem* row) const
{
    return passwords_.value(row->data(ServerColumn, RecordNumberRole).toInt());
}

void Cftplist::pick()
{
    const QTreeWidgetItem* row = selectedRow();
    if (row == nullptr) {
        reject();
        return;
    }
    server_ = row->text(ServerColumn).trimmed();
    port_ = row->text(PortColumn).trimmed();
    user_ = row->text(UserColumn).trimmed();
    password_ = passwordOf(row).trimmed();
    accept();
}

void Cftplist::editSelected()
{
    QTreeWidgetItem* row = selectedRow();
    if (row == nullptr) {
        reject();
        return;
    }
    editor_.setAccount(row->text(ServerColumn), AccountRecord::portFromText(row->text(PortColumn)),
                       row->text(UserColumn), passwordOf(row));
    if (editor_.exec() != QDialog::Accepted)
        return;
    row->setText(ServerColumn, editor_.server());
    row->setText(PortColumn, QString::number(editor_.port()));
    row->setText(UserColumn, editor_.user());
    passwords_[row->data(ServerColumn, RecordNumberRole).toInt()] = editor_.password();
    rewrite();
}

void Cftplist::deleteSelected()
{
    QTreeWidgetItem* row = selectedRow();
    if (row == nullptr)
        return;
    delete row;
    list_->clearSelection();
    rewrite();
}

// The file takes the rows from top to bottom, the reverse of the order they were loaded in;
// the next opening reverses them again on screen.
void Cftplist::rewrite()
{
    QList<AccountRecord> rows;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list_->topLevelItem(i);
        rows.append({row->text(ServerColumn), row->text(PortColumn), row->text(UserColumn),
                     passwordOf(row)});
    }
    switch (RewriteAccountList(listPath_, rows)) {
    case AccountWrite::Written:
        break;
    case AccountWrite::Refused:
        prompt_.tell(UnstorableAccountMessage());
        break;
    case AccountWrite::Failed:
        prompt_.tell(QStringLiteral("服务器列表保存失败"));
        break;
    }
}
