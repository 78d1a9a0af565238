#pragma once

#include "view/gui/MenuItem.h"

// The context-menu tables, each one popup as its resource holds it.
class ContextMenus {
public:
    enum Resource {
        LocalListMenu = 310,
        RemoteListMenu = 311,
        QueueListMenu = 314,
        ServerListMenu = 329,
        TabMenu = 330,
        LogMenu = 335,
    };

    static MenuItem localList();  // "list1"
    static MenuItem remoteList(); // "list2"
    static MenuItem queueList();  // "list3"
    static MenuItem serverList(); // "ftplist"
    static MenuItem tabs();       // "tab"
    static MenuItem log();        // "edit"
};
