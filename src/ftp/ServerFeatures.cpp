#include "ftp/ServerFeatures.h"

#include <QStringList>

namespace {

// The reply's own lines start with the code ("211-Features:", "211 End").
bool isCodeLine(const QString& line)
{
    return line.size() >= 3 && line.at(0).isDigit() && line.at(1).isDigit() &&
           line.at(2).isDigit() && (line.size() == 3 || line.at(3) == u' ' || line.at(3) == u'-');
}

} // namespace

ServerFeatures ServerFeatures::parse(const QString& replyText)
{
    ServerFeatures features;
    if (!replyText.startsWith(QLatin1String("211")))
        return features;
    for (const QString& raw : replyText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (isCodeLine(raw))
            continue;
        const QString line = raw.trimmed();
        const qsizetype blank = line.indexOf(u' ');
        const QString name = (blank < 0 ? line : line.left(blank)).toUpper();
        if (!name.isEmpty())
            features.features_.insert(name, blank < 0 ? QString() : line.mid(blank + 1).trimmed());
    }
    return features;
}

bool ServerFeatures::has(const QString& name) const
{
    return features_.contains(name.toUpper());
}

QString ServerFeatures::parameters(const QString& name) const
{
    return features_.value(name.toUpper());
}
