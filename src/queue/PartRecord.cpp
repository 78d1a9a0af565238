#include "queue/PartRecord.h"

namespace {
constexpr QChar separator = u'\t';

// A stored field ends at CR and its record at LF; NUL ends the text.
bool storable(const QString& path)
{
    return !path.contains(separator) && !path.contains(u'\r') && !path.contains(u'\n') &&
           !path.contains(QChar(u'\0'));
}
} // namespace

PartRecord::PartRecord(const QString& stored) : paths_(storedPaths(stored)) {}

bool PartRecord::contains(const QString& path) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return paths_.contains(path);
}

void PartRecord::setOnAdded(std::function<void(const PartRecord&)> onAdded)
{
    std::lock_guard<std::mutex> hold(mutex_);
    onAdded_ = std::move(onAdded);
}

void PartRecord::add(const QString& path)
{
    std::function<void(const PartRecord&)> onAdded;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (paths_.contains(path))
            return;
        paths_.append(path);
        onAdded = onAdded_;
    }
    if (onAdded)
        onAdded(*this);
}

void PartRecord::remove(const QString& path)
{
    std::lock_guard<std::mutex> hold(mutex_);
    paths_.removeAll(path);
}

QStringList PartRecord::paths() const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return paths_;
}

QString PartRecord::stored() const
{
    QStringList kept;
    for (const QString& path : paths()) {
        if (storable(path))
            kept.append(path);
    }
    return kept.join(separator);
}

QStringList PartRecord::storedPaths(const QString& stored)
{
    return stored.split(separator, Qt::SkipEmptyParts);
}
