#pragma once

#include <QPlainTextEdit>

class CommandDispatcher;
class QMenu;

// The read-only log of the main view with its "edit" context menu.
class CMyEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CMyEdit(CommandDispatcher& commands, QWidget* parent = nullptr);

    QMenu* contextMenu() const { return contextMenu_; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QMenu* contextMenu_;
};
