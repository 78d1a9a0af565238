#include "platform/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace {

// Runs iconv over the whole input; a byte sequence the target cannot hold becomes the given
// substitute and conversion goes on, so hostile or mixed input never stops a listing or a log.
QByteArray convert(const char* to, const char* from, const QByteArray& input,
                   const QByteArray& substitute, int unitWidth)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return input;
    QByteArray output;
    output.reserve(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<qsizetype>(out - buffer));
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (truncated sequence): substitute one input unit and go on.
        output.append(substitute);
        const size_t skip = std::min(inLeft, static_cast<size_t>(unitWidth));
        in += skip;
        inLeft -= skip;
    }
    iconv_close(cd);
    return output;
}

QByteArray utf16Bytes(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QString fromUtf16Bytes(const QByteArray& bytes)
{
    return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
}

} // namespace

QByteArray TextCodec::toGbk(const QString& text)
{
    if (text.isEmpty())
        return {};
    return convert("GBK", "UTF-16LE", utf16Bytes(text), QByteArrayLiteral("?"), 2);
}

QString TextCodec::fromGbk(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    const QByteArray replacement = utf16Bytes(QString(QChar::ReplacementCharacter));
    return fromUtf16Bytes(convert("UTF-16LE", "GBK", bytes, replacement, 1));
}

QByteArray TextCodec::encode(const QString& text) const
{
    return encoding_ == Encoding::Utf8 ? text.toUtf8() : toGbk(text);
}

QString TextCodec::decode(const QByteArray& bytes) const
{
    return encoding_ == Encoding::Utf8 ? QString::fromUtf8(bytes) : fromGbk(bytes);
}
