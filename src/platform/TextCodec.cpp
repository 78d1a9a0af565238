#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// How many input bytes make up the character at in that could not be converted.
using UnitLength = size_t (*)(const char* in, size_t inLeft);

size_t oneByte(const char*, size_t inLeft)
{
    return std::min<size_t>(inLeft, 1);
}

// A character outside the basic plane is a surrogate pair: one character, one substitute.
size_t utf16Character(const char* in, size_t inLeft)
{
    const auto unitAt = [in](size_t offset) {
        return static_cast<char16_t>(static_cast<uchar>(in[offset]) |
                                     static_cast<uchar>(in[offset + 1]) << 8);
    };
    if (inLeft >= 4 && QChar::isHighSurrogate(unitAt(0)) && QChar::isLowSurrogate(unitAt(2)))
        return 4;
    return std::min<size_t>(inLeft, 2);
}

// Runs iconv over the whole input; a byte sequence the target cannot hold becomes the given
// substitute and conversion goes on, so hostile or mixed input never stops a listing or a log.
QByteArray convert(const char* to, const char* from, const QByteArray& input,
                   const QByteArray& substitute, UnitLength unitLength)
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
        // EILSEQ or EINVAL (truncated sequence): substitute one character and go on.
        output.append(substitute);
        const size_t skip = unitLength(in, inLeft);
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
    return convert("GBK", "UTF-16LE", utf16Bytes(text), QByteArrayLiteral("?"), utf16Character);
}

QString TextCodec::fromGbk(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    const QByteArray replacement = utf16Bytes(QString(QChar::ReplacementCharacter));
    return fromUtf16Bytes(convert("UTF-16LE", "GBK", bytes, replacement, oneByte));
}

QByteArray TextCodec::encode(const QString& text) const
{
    return encoding_ == Encoding::Utf8 ? text.toUtf8() : toGbk(text);
}

QString TextCodec::decode(const QByteArray& bytes) const
{
    return encoding_ == Encoding::Utf8 ? QString::fromUtf8(bytes) : fromGbk(bytes);
}
