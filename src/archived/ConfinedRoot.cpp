#include "archived/ConfinedRoot.h"

#include <QDir>
#include <QFileInfo>

ConfinedRoot::ConfinedRoot(const QString& root) : root_(QFileInfo(root).canonicalFilePath()) {}

bool ConfinedRoot::contains(const QString& canonicalPath) const
{
    if (canonicalPath.isEmpty())
        return false;
    return canonicalPath == root_ || root_ == QLatin1String("/") ||
           canonicalPath.startsWith(root_ + QLatin1Char('/'));
}

bool ConfinedRoot::isSafeRelativeName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QChar(0)))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return !parts.isEmpty() && !parts.contains(QLatin1String(".."));
}

std::optional<QString> ConfinedRoot::existing(const QString& requestPath) const
{
    const QStringList parts = requestPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!isValid() || parts.isEmpty() || parts.contains(QLatin1String("..")) ||
        requestPath.contains(QChar(0)))
        return std::nullopt;
    const QString local = root_ + QLatin1Char('/') + parts.join(QLatin1Char('/'));
    const QFileInfo info(local);
    if (!info.exists() || !contains(info.canonicalFilePath()))
        return std::nullopt;
    return local;
}

bool ConfinedRoot::mayWrite(const QString& localPath) const
{
    const QFileInfo target(localPath);
    if (target.isSymLink())
        return false;
    QString existingPart = target.absoluteFilePath();
    while (!QFileInfo::exists(existingPart) && existingPart != QLatin1String("/"))
        existingPart = QFileInfo(existingPart).path();
    return contains(QFileInfo(existingPart).canonicalFilePath());
}
