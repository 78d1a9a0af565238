#include "queue/RestoredProgress.h"

#include "queue/PartRecord.h"
#include "queue/QueueEntry.h"

#include <QFileInfo>

#include <array>
#include <utility>

namespace {

bool isFinished(const QString& state)
{
    return state == QueueState::Downloaded || state == QueueState::Uploaded;
}

// The entry's own part when it recorded one, else the usual temporary name.
QString partOf(const QueueEntry& entry)
{
    const QStringList parts = PartRecord::storedPaths(entry.parts);
    return parts.isEmpty() ? entry.target + QStringLiteral(".td") : parts.first();
}

} // namespace

quint64 BytesOfSizeText(const QString& text)
{
    constexpr std::array<std::pair<const char*, double>, 3> units{
        {{"GB", 1024.0 * 1024 * 1024}, {"MB", 1024.0 * 1024}, {"KB", 1024.0}}};
    QString number = text.trimmed();
    double factor = 1;
    for (const auto& [suffix, size] : units) {
        if (number.endsWith(QLatin1String(suffix))) {
            number.chop(2);
            factor = size;
            break;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok && value > 0 ? static_cast<quint64>(value * factor) : 0;
}

QString RestoredProgress(const QueueEntry& entry)
{
    if (!isDownloadAction(entry.action) || entry.folder != 0 || isFinished(entry.state))
        return entry.progress;
    const quint64 whole = BytesOfSizeText(entry.size);
    const QFileInfo part(partOf(entry));
    if (whole == 0 || !part.isFile() || part.size() <= 0)
        return entry.progress;
    const quint64 held = qMin(static_cast<quint64>(part.size()), whole);
    // A size text is rounded; a part that holds it all is not yet a complete file.
    return QString::number(qMin<quint64>(held * 100 / whole, 99)) + u'%';
}
