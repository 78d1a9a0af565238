#pragma once

#include "accounts/gui/CIDDlg.h"

#include <QDialog>
#include <QStringList>

class Prompt;
class QHBoxLayout;
class QMenu;
class QShowEvent;
class QTreeWidget;
class QTreeWidgetItem;

// "服务器列表": the saved accounts, last saved first. The user picks one to connect with, edits
// or deletes one; every change is written back to the file at once. The picked account stays
// in the results after the dialog closes.
class Cftplist : public QDialog {
    Q_OBJECT
public:
    static constexpr int ListId = 1000;
    static constexpr int PickId = 1;
    static constexpr int CancelId = 2;
    static constexpr int DeleteId = 3;
    static constexpr int EditId = 6;
    static constexpr int DeleteCommandId = 32825;

    explicit Cftplist(Prompt& prompt, QWidget* parent = nullptr);

    void setListPath(const QString& path) { listPath_ = path; }

    QString server() const { return server_; }
    QString port() const { return port_; }
    QString user() const { return user_; }
    QString password() const { return password_; }

    // Carries out a button or menu command of this dialog, found by its id.
    void onCommand(int id);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addButton(QHBoxLayout* row, const QString& text, int id);
    void buildContextMenu();
    void reload();
    QTreeWidgetItem* selectedRow() const;
    QString passwordOf(const QTreeWidgetItem* row) const;
    void pick();
    void editSelected();
    void deleteSelected();
    void rewrite();

    Prompt& prompt_;
    QTreeWidget* list_;
    QMenu* contextMenu_ = nullptr;
    CIDDlg editor_;
    QString listPath_;
    QStringList passwords_; // indexed by record number, which each row keeps as its data
    QString server_;
    QString port_;
    QString user_;
    QString password_;
};
