#pragma once

#include <QString>

#include <utility>
#include <vector>

// One entry of a menu table: a command (text and id, and the prompt the status bar shows while
// it is highlighted), a separator, or a popup with its items.
struct MenuItem {
    QString text;
    int id = 0;
    bool separator = false;
    std::vector<MenuItem> items;
    QString prompt;

    static MenuItem command(QString text, int id, QString prompt = QString())
    {
        return MenuItem{std::move(text), id, false, {}, std::move(prompt)};
    }
    static MenuItem line() { return MenuItem{QString(), 0, true, {}, QString()}; }
    static MenuItem popup(QString text, std::vector<MenuItem> items)
    {
        return MenuItem{std::move(text), 0, false, std::move(items), QString()};
    }

    bool isPopup() const { return !separator && id == 0; }
};
