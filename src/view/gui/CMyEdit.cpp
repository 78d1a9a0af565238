#include "view/gui/CMyEdit.h"

#include "view/gui/ContextMenus.h"
#include "view/gui/MenuBuilder.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace {
// Where the menu opens when asked for from the keyboard, from the edit's top-left corner.
const QPoint keyboardMenuOffset(5, 5);
} // namespace

CMyEdit::CMyEdit(CommandDispatcher& commands, QWidget* parent)
    : QPlainTextEdit(parent),
      contextMenu_(MenuBuilder::createMenu(ContextMenus::log(), commands, this))
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
}

void CMyEdit::contextMenuEvent(QContextMenuEvent* event)
{
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? mapToGlobal(keyboardMenuOffset)
                          : event->globalPos();
    contextMenu_->popup(at);
    event->accept();
}
