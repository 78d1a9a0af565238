#include "ftp/DataAddress.h"

#include <QStringList>

namespace {

// A decimal number of one to three digits, surrounding spaces allowed, at most 255.
std::optional<int> byteValue(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 3)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const int value = digits.toInt();
    if (value > 255)
        return std::nullopt;
    return value;
}

QString bracketed(const QString& reply)
{
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    const qsizetype close = reply.indexOf(QLatin1Char(')'));
    if (open < 0 || close < 0 || close < open)
        return QString();
    return reply.mid(open + 1, close - open - 1);
}

} // namespace

std::optional<DataAddress> DataAddress::fromPasvReply(const QString& reply)
{
    const QStringList parts = bracketed(reply).split(QLatin1Char(','));
    if (parts.size() != 6)
        return std::nullopt;
    int values[6];
    for (int i = 0; i < 6; ++i) {
        const std::optional<int> value = byteValue(parts.at(i));
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    DataAddress result;
    result.host =
        QStringLiteral("%1.%2.%3.%4").arg(values[0]).arg(values[1]).arg(values[2]).arg(values[3]);
    result.port = static_cast<quint16>(values[4] * 256 + values[5]);
    if (result.port == 0)
        return std::nullopt;
    return result;
}

std::optional<DataAddress> DataAddress::fromEpsvReply(const QString& reply)
{
    const QString inner = bracketed(reply);
    if (inner.size() < 5)
        return std::nullopt;
    const QChar delimiter = inner.at(0);
    const QStringList parts = inner.split(delimiter);
    // "|||port|" splits into "", "", "", "port", "".
    if (parts.size() != 5)
        return std::nullopt;
    bool ok = false;
    const uint port = parts.at(3).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    DataAddress result;
    result.port = static_cast<quint16>(port);
    return result;
}

QString DataAddress::toPortArgument() const
{
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return QString();
    for (const QString& part : parts) {
        if (!byteValue(part) || part.trimmed() != part)
            return QString();
    }
    return QString(host).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(",%1,%2").arg(port / 256).arg(port % 256);
}

QString DataAddress::toEprtArgument() const
{
    const QLatin1String family(host.contains(QLatin1Char(':')) ? "2" : "1");
    return QStringLiteral("|%1|%2|%3|").arg(family, host).arg(port);
}
