#pragma once

#include <QString>

#include <utility>
#include <vector>

// One entry of a menu table: a command (text and id), a separator, or a popup with its items.
struct MenuItem {
    QString text;
    int id = 0;
    bool separator = false;
    std::vector<MenuItem> items;

    static MenuItem command(QString text, int id)
    {
        return MenuItem{std::move(text), id, false, {}};
    }
    static MenuItem line() { return MenuItem{QString(), 0, true, {}}; }
    static MenuItem popup(QString text, std::vector<MenuItem> items)
    {
        return MenuItem{std::move(text), 0, false, std::move(items)};
    }

    bool isPopup() const { return !separator && id == 0; }
};
