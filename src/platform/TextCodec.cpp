#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

constexpr char16_t escapeBase = 0xDC00;

// How many input bytes make up the character at in that could not be converted.
using UnitLength = size_t (*)(const char* in, size_t inLeft);
// The output bytes that stand for the unconvertible input unit.
using Substitute = QByteArray (*)(const char* unit, size_t length);

size_t oneByte(const char*, size_t inLeft)
{
    return std::min<size_t>(inLeft, 1);
}

char16_t utf16UnitAt(const char* in, size_t offset)
{
    return static_cast<char16_t>(static_cast<uchar>(in[offset]) | static_cast<uchar>(in[offset + 1])
                                                                      << 8);
}

// A character outside the basic plane is a surrogate pair: one character, one substitute.
size_t utf16Character(const char* in, size_t inLeft)
{
    if (inLeft >= 4 && QChar::isHighSurrogate(utf16UnitAt(in, 0)) &&
        QChar::isLowSurrogate(utf16UnitAt(in, 2)))
        return 4;
    return std::min<size_t>(inLeft, 2);
}

bool isEscape(char16_t unit)
{
    return unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF;
}

QByteArray questionMark(const char*, size_t)
{
    return QByteArrayLiteral("?");
}

QByteArray replacementCharacter(const char*, size_t)
{
    const char16_t unit = QChar::ReplacementCharacter;
    return QByteArray(reinterpret_cast<const char*>(&unit), 2);
}

QByteArray escapedByte(const char* unit, size_t)
{
    const char16_t escape = escapeBase + static_cast<uchar>(unit[0]);
    return QByteArray(reinterpret_cast<const char*>(&escape), 2);
}

QByteArray unescapedByte(const char* unit, size_t length)
{
    if (length == 2 && isEscape(utf16UnitAt(unit, 0)))
        return QByteArray(1, static_cast<char>(utf16UnitAt(unit, 0) - escapeBase));
    return QByteArrayLiteral("?");
}

// Runs iconv over the whole input; a byte sequence the target cannot hold becomes a
// substitute and conversion goes on, so hostile or mixed input never stops a listing or a log.
QByteArray convert(const char* to, const char* from, const QByteArray& input, Substitute substitute,
                   UnitLength unitLength)
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
        const size_t skip = unitLength(in, inLeft);
        output.append(substitute(in, skip));
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

bool isContinuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at position, or 0 when the byte there starts none.
qsizetype utf8SequenceLength(const QByteArray& bytes, qsizetype position)
{
    const auto at = [&bytes](qsizetype i) { return static_cast<uchar>(bytes.at(i)); };
    const uchar lead = at(position);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    uchar low = 0x80;  // the smallest second byte that is neither overlong nor a surrogate
    uchar high = 0xBF; // the largest second byte within the range of code points
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (position + length > bytes.size())
        return 0;
    const uchar second = at(position + 1);
    if (second < low || second > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (!isContinuation(at(position + i)))
            return 0;
    }
    return length;
}

QString decodeUtf8Losslessly(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype runStart = 0;
    qsizetype position = 0;
    const auto flushRun = [&] {
        text += QString::fromUtf8(bytes.constData() + runStart, position - runStart);
    };
    while (position < bytes.size()) {
        const qsizetype length = utf8SequenceLength(bytes, position);
        if (length > 0) {
            position += length;
            continue;
        }
        flushRun();
        text += QChar(escapeBase + static_cast<uchar>(bytes.at(position)));
        runStart = ++position;
    }
    flushRun();
    return text;
}

QByteArray encodeUtf8Losslessly(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        const bool pairedLow = i > 0 && QChar::isHighSurrogate(text.at(i - 1).unicode());
        if (!isEscape(unit) || pairedLow)
            continue;
        bytes += QStringView(text).mid(runStart, i - runStart).toUtf8();
        bytes += static_cast<char>(unit - escapeBase);
        runStart = i + 1;
    }
    bytes += QStringView(text).mid(runStart).toUtf8();
    return bytes;
}

} // namespace

QByteArray TextCodec::toGbk(const QString& text)
{
    if (text.isEmpty())
        return {};
    return convert("GBK", "UTF-16LE", utf16Bytes(text), questionMark, utf16Character);
}

QString TextCodec::fromGbk(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    return fromUtf16Bytes(convert("UTF-16LE", "GBK", bytes, replacementCharacter, oneByte));
}

bool TextCodec::isValidUtf8(const QByteArray& bytes)
{
    for (qsizetype position = 0; position < bytes.size();) {
        const qsizetype length = utf8SequenceLength(bytes, position);
        if (length == 0)
            return false;
        position += length;
    }
    return true;
}

bool TextCodec::isAscii(const QByteArray& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char byte) { return static_cast<uchar>(byte) < 0x80; });
}

QByteArray TextCodec::encode(const QString& text) const
{
    if (encoding_ == Encoding::Utf8)
        return encodeUtf8Losslessly(text);
    if (text.isEmpty())
        return {};
    return convert("GBK", "UTF-16LE", utf16Bytes(text), unescapedByte, utf16Character);
}

QString TextCodec::decode(const QByteArray& bytes) const
{
    if (encoding_ == Encoding::Utf8)
        return decodeUtf8Losslessly(bytes);
    if (bytes.isEmpty())
        return {};
    return fromUtf16Bytes(convert("UTF-16LE", "GBK", bytes, escapedByte, oneByte));
}
