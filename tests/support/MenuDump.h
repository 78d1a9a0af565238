#pragma once

#include <QAction>
#include <QMenu>
#include <QStringList>
#include <QWidget>

// Writes a menu or menu bar as one line per entry: the popup path, then "text=id" for a
// command or "—" for a separator, e.g. "文件(&F)/上传/上传(&U)=32813".
inline void dumpMenu(const QWidget* menu, const QString& path, QStringList& lines)
{
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            lines << path + QStringLiteral("—");
        else if (action->menu() != nullptr)
            dumpMenu(action->menu(), path + action->text() + QLatin1Char('/'), lines);
        else
            lines << path + action->text() + QLatin1Char('=') +
                         QString::number(action->data().toInt());
    }
}

inline QStringList dumpMenu(const QWidget* menu)
{
    QStringList lines;
    dumpMenu(menu, QString(), lines);
    return lines;
}
