#include "listing/MlsdFacts.h"

#include "listing/CListItem.h"
#include "listing/FormatSize.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

struct Facts {
    QString type;
    QStringView size;
    QStringView modify;
};

// Fact names are case-insensitive; values are kept as they are, apart from the type.
Facts readFacts(QStringView text)
{
    Facts facts;
    for (QStringView fact : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = fact.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString name = fact.left(equals).toString().toLower();
        const QStringView value = fact.mid(equals + 1);
        if (name == QLatin1String("type"))
            facts.type = value.toString().toLower();
        else if (name == QLatin1String("size"))
            facts.size = value;
        else if (name == QLatin1String("modify"))
            facts.modify = value;
    }
    return facts;
}

// "YYYYMMDDHHMMSS" with optional fractions, in UTC.
QString localDate(QStringView modify)
{
    const QDateTime utc =
        QDateTime::fromString(modify.left(14).toString(), QStringLiteral("yyyyMMddHHmmss"));
    if (!utc.isValid())
        return QString();
    QDateTime stamp(utc.date(), utc.time(), QTimeZone::utc());
    return stamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

bool readBytes(QStringView text, quint64& bytes)
{
    bool ok = false;
    bytes = text.toULongLong(&ok);
    return ok && !text.isEmpty() && text.front().isDigit();
}

} // namespace

bool MlsdFacts::LooksLikeFacts(QStringView line)
{
    const qsizetype blank = line.indexOf(u' ');
    if (blank <= 0)
        return false;
    const QStringView facts = line.left(blank);
    const qsizetype equals = facts.indexOf(u'=');
    return facts.endsWith(u';') && equals > 0 && equals < facts.indexOf(u';');
}

bool MlsdFacts::Read(QStringView line, CListItem& item)
{
    item = CListItem();
    const qsizetype blank = line.indexOf(u' ');
    if (!LooksLikeFacts(line) || blank + 1 >= line.size())
        return false;
    const Facts facts = readFacts(line.left(blank));
    const QStringView entryName = line.mid(blank + 1);
    if (facts.type == QLatin1String("cdir") || facts.type == QLatin1String("pdir")) {
        item.name =
            facts.type == QLatin1String("cdir") ? QStringLiteral(".") : QStringLiteral("..");
        item.isFolder = true;
        return true;
    }
    item.name = entryName.toString();
    item.isFolder = facts.type == QLatin1String("dir");
    item.isLink = facts.type.startsWith(QLatin1String("os.unix=slink")) ||
                  facts.type.startsWith(QLatin1String("os.unix=symlink"));
    item.date = localDate(facts.modify);
    if (!item.isFolder) {
        const bool known = readBytes(facts.size, item.bytes);
        item.size = known ? FormatSize(item.bytes) : QString();
        item.exactSize = known && !item.isLink;
    }
    return true;
}
