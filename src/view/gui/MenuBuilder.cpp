#include "view/gui/MenuBuilder.h"

#include "view/gui/CommandDispatcher.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

QMenu* MenuBuilder::createMenu(const MenuItem& popup, CommandDispatcher& commands, QWidget* parent)
{
    auto* menu = new QMenu(popup.text, parent);
    addItems(menu, popup.items, commands);
    QObject::connect(menu, &QMenu::aboutToShow, menu,
                     [menu, &commands] { refreshEnabled(menu, commands); });
    return menu;
}

void MenuBuilder::fillMenuBar(QMenuBar* bar, const std::vector<MenuItem>& popups,
                              CommandDispatcher& commands)
{
    for (const MenuItem& popup : popups)
        bar->addMenu(createMenu(popup, commands, bar));
}

QAction* MenuBuilder::findCommand(const QWidget* menu, int id)
{
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            if (QAction* found = findCommand(action->menu(), id))
                return found;
        } else if (!action->isSeparator() && action->data().toInt() == id) {
            return action;
        }
    }
    return nullptr;
}

void MenuBuilder::addItems(QMenu* menu, const std::vector<MenuItem>& items,
                           CommandDispatcher& commands)
{
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (item.isPopup()) {
            menu->addMenu(createMenu(item, commands, menu));
        } else {
            QAction* action = menu->addAction(item.text);
            action->setData(item.id);
            action->setStatusTip(item.prompt);
            const int id = item.id;
            QObject::connect(action, &QAction::triggered, menu,
                             [id, &commands] { commands.dispatch(id); });
        }
    }
}

void MenuBuilder::refreshEnabled(QMenu* menu, const CommandDispatcher& commands)
{
    for (QAction* action : menu->actions()) {
        if (action->menu() == nullptr && !action->isSeparator())
            action->setEnabled(commands.isEnabled(action->data().toInt()));
    }
}
