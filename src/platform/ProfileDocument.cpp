#include "platform/ProfileDocument.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <utility>

namespace {

const QByteArray utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::pair<qsizetype, qsizetype> trimmed(const QByteArray& bytes, qsizetype start, qsizetype end)
{
    while (start < end && isBlank(bytes[start]))
        ++start;
    while (end > start && isBlank(bytes[end - 1]))
        --end;
    return {start, end};
}

QByteArray trimmedSlice(const QByteArray& bytes, qsizetype start, qsizetype end)
{
    const auto [from, to] = trimmed(bytes, start, end);
    return bytes.mid(from, to - from);
}

// Length of the code page 936 character at pos: a lead byte with a valid trail byte is one
// two-byte character, anything else stands alone.
qsizetype characterLength(const QByteArray& bytes, qsizetype pos)
{
    const auto lead = static_cast<uchar>(bytes[pos]);
    if (lead < 0x81 || lead > 0xFE || pos + 1 >= bytes.size())
        return 1;
    const auto trail = static_cast<uchar>(bytes[pos + 1]);
    return trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
}

// The last "]" that is a character of its own, not the trail byte of a Chinese character.
qsizetype lastClosingBracket(const QByteArray& bytes, qsizetype start, qsizetype end)
{
    qsizetype found = -1;
    for (qsizetype pos = start; pos < end; pos += characterLength(bytes, pos)) {
        if (bytes[pos] == ']')
            found = pos;
    }
    return found;
}

qsizetype indexOf(const QByteArray& bytes, char wanted, qsizetype start, qsizetype end)
{
    const char* first = bytes.constData() + start;
    const char* last = bytes.constData() + end;
    const char* found = std::find(first, last, wanted);
    return found == last ? -1 : found - bytes.constData();
}

bool isAscii(const QByteArray& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<uchar>(c) < 0x80; });
}

// A name from the file in the form names are compared in. Pure ASCII names (the usual case)
// are folded as bytes; anything else is decoded first, because folding the bytes of a GBK
// character would make different Chinese characters equal.
QString foldedRawName(const QByteArray& raw)
{
    if (isAscii(raw))
        return QString::fromLatin1(raw.toLower());
    return ProfileDocument::foldedName(TextCodec::fromGbk(raw));
}

class NameMatcher {
public:
    explicit NameMatcher(const QString& name)
        : folded_(ProfileDocument::foldedName(name)), bytes_(TextCodec::toGbk(name.trimmed())),
          ascii_(isAscii(bytes_))
    {
    }

    bool matches(const QByteArray& raw) const
    {
        if (folded_.isEmpty())
            return false;
        if (ascii_ && isAscii(raw))
            return raw.compare(bytes_, Qt::CaseInsensitive) == 0;
        return foldedRawName(raw) == folded_;
    }

private:
    QString folded_;
    QByteArray bytes_;
    bool ascii_;
};

} // namespace

ProfileDocument::ProfileDocument(QByteArray bytes) : bytes_(std::move(bytes))
{
    split();
}

void ProfileDocument::split()
{
    qsizetype pos = bytes_.startsWith(utf8Bom) ? utf8Bom.size() : 0;
    while (pos < bytes_.size()) {
        const qsizetype newline = bytes_.indexOf('\n', pos);
        const qsizetype next = newline < 0 ? bytes_.size() : newline + 1;
        qsizetype end = newline < 0 ? bytes_.size() : newline;
        if (newline > pos && bytes_[newline - 1] == '\r')
            --end;
        Line line = classify(pos, end);
        line.next = next;
        lines_.push_back(std::move(line));
        pos = next;
    }
}

ProfileDocument::Line ProfileDocument::classify(qsizetype start, qsizetype end) const
{
    Line line;
    line.start = start;
    line.end = end;
    const auto [from, to] = trimmed(bytes_, start, end);
    if (from == to) {
        line.kind = Kind::Blank;
    } else if (bytes_[from] == ';') {
        line.kind = Kind::Comment;
    } else if (bytes_[from] == '[') {
        // A header without its "]" still opens a section, one that no name reaches, so the
        // entries under it never leak into the section above.
        line.kind = Kind::Section;
        const qsizetype close = lastClosingBracket(bytes_, from + 1, to);
        if (close > 0)
            line.name = trimmedSlice(bytes_, from + 1, close);
    } else if (const qsizetype equals = indexOf(bytes_, '=', from, to); equals >= 0) {
        line.kind = Kind::Entry;
        line.name = trimmedSlice(bytes_, from, equals);
        line.value = trimmedSlice(bytes_, equals + 1, to);
    }
    return line;
}

std::optional<ProfileDocument::Range> ProfileDocument::findSection(const QString& section) const
{
    const NameMatcher matcher(section);
    for (std::size_t index = 0; index < lines_.size(); ++index) {
        if (lines_[index].kind != Kind::Section || !matcher.matches(lines_[index].name))
            continue;
        std::size_t end = index + 1;
        while (end < lines_.size() && lines_[end].kind != Kind::Section)
            ++end;
        return Range{index, end};
    }
    return std::nullopt;
}

const ProfileDocument::Line* ProfileDocument::findEntry(const Range& range,
                                                        const QString& key) const
{
    const NameMatcher matcher(key);
    for (std::size_t index = range.header + 1; index < range.end; ++index) {
        if (lines_[index].kind == Kind::Entry && matcher.matches(lines_[index].name))
            return &lines_[index];
    }
    return nullptr;
}

std::optional<QByteArray> ProfileDocument::value(const QString& section, const QString& key) const
{
    const auto range = findSection(section);
    if (!range)
        return std::nullopt;
    const Line* entry = findEntry(*range, key);
    if (!entry)
        return std::nullopt;
    return entry->value;
}

QHash<QString, QByteArray> ProfileDocument::values(const QString& section) const
{
    QHash<QString, QByteArray> result;
    const auto range = findSection(section);
    if (!range)
        return result;
    for (std::size_t index = range->header + 1; index < range->end; ++index) {
        const Line& line = lines_[index];
        if (line.kind != Kind::Entry || line.name.isEmpty())
            continue;
        const QString name = foldedRawName(line.name);
        if (!result.contains(name))
            result.insert(name, line.value);
    }
    return result;
}

QList<QByteArray> ProfileDocument::entries(const QString& section) const
{
    QList<QByteArray> result;
    const auto range = findSection(section);
    if (!range)
        return result;
    for (std::size_t index = range->header + 1; index < range->end; ++index) {
        if (lines_[index].kind == Kind::Entry)
            result.append(lines_[index].name + '=' + lines_[index].value);
    }
    return result;
}

QByteArray ProfileDocument::withValue(const QString& section, const QString& key,
                                      const QByteArray& value) const
{
    const auto range = findSection(section);
    if (!range)
        return withNewSection(section, TextCodec::toGbk(key.trimmed()) + '=' + value);
    if (const Line* entry = findEntry(*range, key))
        return bytes_.left(entry->start) + entry->name + '=' + value + bytes_.mid(entry->end);
    return withNewEntry(*range, TextCodec::toGbk(key.trimmed()) + '=' + value);
}

// New lines follow the file's own convention; a new file gets the CR LF of its origin.
QByteArray ProfileDocument::lineEnding() const
{
    const qsizetype newline = bytes_.indexOf('\n');
    if (newline < 0 || (newline > 0 && bytes_[newline - 1] == '\r'))
        return QByteArrayLiteral("\r\n");
    return QByteArrayLiteral("\n");
}

// Trailing blank lines stay between the section and the next one.
QByteArray ProfileDocument::withNewEntry(const Range& range, const QByteArray& line) const
{
    std::size_t last = range.end - 1;
    while (last > range.header && lines_[last].kind == Kind::Blank)
        --last;
    const Line& after = lines_[last];
    const QByteArray eol = lineEnding();
    if (after.next > after.end)
        return bytes_.left(after.next) + line + eol + bytes_.mid(after.next);
    return bytes_.left(after.end) + eol + line + bytes_.mid(after.end);
}

QByteArray ProfileDocument::withNewSection(const QString& section, const QByteArray& line) const
{
    const QByteArray eol = lineEnding();
    QByteArray result = bytes_;
    if (!result.isEmpty() && !result.endsWith('\n'))
        result += eol;
    return result + '[' + TextCodec::toGbk(section.trimmed()) + ']' + eol + line + eol;
}

QByteArray ProfileDocument::truncated(const QByteArray& bytes, qsizetype maxBytes)
{
    qsizetype end = 0;
    while (end < bytes.size()) {
        const qsizetype next = end + characterLength(bytes, end);
        if (next > maxBytes)
            break;
        end = next;
    }
    return bytes.left(end);
}

QString ProfileDocument::foldedName(const QString& name)
{
    return name.trimmed().toCaseFolded();
}
