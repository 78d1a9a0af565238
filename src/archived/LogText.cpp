#include "archived/LogText.h"

namespace {
bool needsEscape(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Other_Format ||
           category == QChar::Separator_Line || category == QChar::Separator_Paragraph ||
           category == QChar::Other_Surrogate;
}
} // namespace

QString LogText::escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool pair =
            c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        if (pair) {
            out += c;
            out += text.at(++i);
        } else if (c == QLatin1Char('\\')) {
            out += QLatin1String("\\\\");
        } else if (!needsEscape(c)) {
            out += c;
        } else if (c.unicode() < 0x100) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}
