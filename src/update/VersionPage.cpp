#include "update/VersionPage.h"

#include "platform/Profile.h"

#include <QRegularExpression>

VersionPage VersionPage::read(const QString& filePath)
{
    const QStringList values = Profile(filePath).readStrings(
        QStringLiteral("updata"), {QStringLiteral("Version"), QStringLiteral("URL"),
                                   QStringLiteral("SHA256"), QStringLiteral("Signature")});
    return VersionPage{values.at(0), values.at(1), values.at(2), values.at(3)};
}

bool VersionPage::hasVersionNumber() const
{
    static const QRegularExpression number(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,6}(\\.[0-9]{1,6}){0,3}")));
    return number.match(version).hasMatch();
}

bool VersionPage::isNewer() const
{
    return !version.isEmpty() && leadingNumber(version) > OwnVersion;
}

// Like the C library's reading of a number, without its locale, "inf" or "nan".
double VersionPage::leadingNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(0).trimmed().toDouble() : 0.0;
}
