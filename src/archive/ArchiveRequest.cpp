#include "archive/ArchiveRequest.h"

#include "platform/TextCodec.h"

#include <array>

namespace {
constexpr QChar cr = u'\r';

bool hasBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

// The text as the log line quotes it: control characters shown as \xNN, not acted on.
QString shown(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        out += c.category() == QChar::Other_Control
                   ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                   : QString(c);
    }
    return out;
}
} // namespace

QString ArchiveRequest::compressText(const QStringList& fullPaths)
{
    QString text = QStringLiteral("A\r");
    for (const QString& path : fullPaths)
        text += path + cr;
    return text;
}

QString ArchiveRequest::extractText(const QString& fullPath)
{
    return QStringLiteral("X\r") + fullPath + cr;
}

QString ArchiveRequest::fullPath(const QString& folder, const QString& name, int serverKind,
                                 const QString& user)
{
    QString path = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    if (serverKind == 2)
        path = QLatin1Char('/') + user + path;
    return path + name;
}

QString ArchiveRequest::displayName(const QString& requestText)
{
    const int end = requestText.indexOf(cr, 2);
    if (end < 0)
        return requestText.mid(2);
    const QString first = requestText.mid(2, end - 2);
    return end + 1 < requestText.size() ? first + QStringLiteral("等") : first;
}

QByteArray ArchiveRequest::message(const QString& user, const QString& requestText)
{
    return TextCodec::toGbk(QStringLiteral("UID:") + user + cr + QStringLiteral("PASS:") +
                            servicePassword + cr + requestText);
}

QString ArchiveRequest::whyUnsendable(const QString& user, const QStringList& fullPaths)
{
    for (const QString& text : QStringList{user} + fullPaths) {
        if (hasBreak(text))
            return QStringLiteral("原因：“%1”中含有回车、换行等控制字符，无法放进压缩服务的请求，"
                                  "未发送")
                .arg(shown(text));
        if (TextCodec::fromGbk(TextCodec::toGbk(text)) != text)
            return QStringLiteral("原因：“%1”中含有 GBK 编码无法表示的字符（例如韩文或表情符号），"
                                  "压缩服务收不到正确的名称，未发送")
                .arg(shown(text));
    }
    return QString();
}

bool ArchiveRequest::hasArchiveExtension(const QString& name)
{
    static const std::array<QLatin1String, 14> extensions{
        QLatin1String(".RAR"),   QLatin1String(".zip"), QLatin1String(".cba"),
        QLatin1String(".arj"),   QLatin1String(".lzh"), QLatin1String(".ace"),
        QLatin1String(".7-zip"), QLatin1String(".tar"), QLatin1String(".GZip"),
        QLatin1String(".UUE"),   QLatin1String(".bz2"), QLatin1String(".jar"),
        QLatin1String(".iso"),   QLatin1String(".z")};
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString extension = name.mid(dot);
    for (const QLatin1String& known : extensions) {
        if (extension.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
