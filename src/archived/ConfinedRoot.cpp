#include "archived/ConfinedRoot.h"

#include <QFile>

ConfinedRoot::ConfinedRoot(const QString& root)
    : root_(ConfinedFolder::open(QFile::encodeName(root)))
{
}

std::optional<QList<QByteArray>> ConfinedRoot::steps(const QString& path)
{
    if (path.contains(QChar(0)))
        return std::nullopt;
    QList<QByteArray> names;
    for (const QString& step : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (step == QLatin1String(".."))
            return std::nullopt;
        if (step != QLatin1String("."))
            names.append(QFile::encodeName(step));
    }
    if (names.isEmpty())
        return std::nullopt;
    return names;
}

std::optional<ConfinedRoot::Place> ConfinedRoot::locate(const QString& requestPath) const
{
    std::optional<QList<QByteArray>> names = steps(requestPath);
    if (!isValid() || !names)
        return std::nullopt;
    const QByteArray last = names->takeLast();
    ConfinedFolder parent = root_.walk(*names);
    if (!parent.isOpen())
        return std::nullopt;
    return Place{std::move(parent), last};
}
