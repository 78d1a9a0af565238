#pragma once

#include "view/gui/MenuItem.h"

class CommandDispatcher;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Turns menu tables into Qt menus whose actions carry their command id in data() and send it
// to a dispatcher when triggered.
class MenuBuilder {
public:
    static QMenu* createMenu(const MenuItem& popup, CommandDispatcher& commands, QWidget* parent);
    static void fillMenuBar(QMenuBar* bar, const std::vector<MenuItem>& popups,
                            CommandDispatcher& commands);
    // Searches a menu or menu bar and all its sub-menus for the action of a command.
    static QAction* findCommand(const QWidget* menu, int id);

private:
    static void addItems(QMenu* menu, const std::vector<MenuItem>& items,
                         CommandDispatcher& commands);
    static void refreshEnabled(QMenu* menu, const CommandDispatcher& commands);
};
