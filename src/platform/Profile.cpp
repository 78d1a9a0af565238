#include "platform/Profile.h"

#include "platform/ProfileDocument.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>
#include <mutex>
#include <utility>

namespace {

// Guards the read-modify-write of every profile file in this process, so two threads setting
// different keys of one file never lose each other's change.
std::mutex writeMutex;

// Values reach the callers as C strings did: a NUL byte in the file ends the value.
QByteArray upToNul(QByteArray bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return bytes;
}

QByteArray withoutQuotes(const QByteArray& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The text a caller's buffer of bufferBytes would hold, its last byte being the terminator.
QString fitted(const QByteArray& bytes, int bufferBytes)
{
    return TextCodec::fromGbk(ProfileDocument::truncated(bytes, qMax(bufferBytes - 1, 0)));
}

QString fittedDefault(const QString& defaultValue, int bufferBytes)
{
    qsizetype end = defaultValue.size();
    while (end > 0 && (defaultValue[end - 1] == u' ' || defaultValue[end - 1] == u'\t'))
        --end;
    const QString text = defaultValue.left(end);
    if (TextCodec::toGbk(text).size() < bufferBytes)
        return text;
    return fitted(TextCodec::toGbk(text), bufferBytes);
}

int leadingInt(const QByteArray& text)
{
    qsizetype pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
        ++pos;
    qint64 number = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        number = qMin<qint64>(number * 10 + (text[pos] - '0'), qint64(INT_MAX));
    return negative ? 0 : static_cast<int>(number);
}

bool isStorableSection(const QString& section)
{
    return !section.trimmed().isEmpty() && Profile::canStore(section);
}

// A key must read back as the same key: no "=", and nothing that makes its line a header or
// a comment.
bool isStorableKey(const QString& key)
{
    const QString name = key.trimmed();
    return !name.isEmpty() && !name.contains(u'=') && !name.startsWith(u'[') &&
           !name.startsWith(u';') && Profile::canStore(name);
}

} // namespace

Profile::Profile(QString filePath) : path_(std::move(filePath)) {}

std::optional<QByteArray> Profile::load() const
{
    const QFileInfo info(path_);
    if (!info.exists())
        return QByteArray();
    QFile file(path_);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

int Profile::readInt(const QString& section, const QString& key, int defaultValue) const
{
    const ProfileDocument document(load().value_or(QByteArray()));
    const auto value = document.value(section, key);
    if (!value)
        return defaultValue;
    const QByteArray text = withoutQuotes(upToNul(*value));
    return text.isEmpty() ? defaultValue : leadingInt(text);
}

QString Profile::readString(const QString& section, const QString& key, const QString& defaultValue,
                            int bufferBytes) const
{
    return readStrings(section, {key}, defaultValue, bufferBytes).front();
}

QStringList Profile::readStrings(const QString& section, const QStringList& keys,
                                 const QString& defaultValue, int bufferBytes) const
{
    const QHash<QString, QByteArray> values =
        ProfileDocument(load().value_or(QByteArray())).values(section);
    QStringList result;
    result.reserve(keys.size());
    for (const QString& key : keys) {
        const auto found = values.constFind(ProfileDocument::foldedName(key));
        result.append(found != values.cend() ? fitted(withoutQuotes(upToNul(*found)), bufferBytes)
                                             : fittedDefault(defaultValue, bufferBytes));
    }
    return result;
}

QStringList Profile::readSection(const QString& section, int bufferBytes) const
{
    const ProfileDocument document(load().value_or(QByteArray()));
    QStringList result;
    qsizetype used = 1; // the NUL that closes the list
    for (const QByteArray& raw : document.entries(section)) {
        const QByteArray entry = upToNul(raw);
        if (used + entry.size() + 1 > bufferBytes)
            break;
        used += entry.size() + 1;
        result.append(TextCodec::fromGbk(entry));
    }
    return result;
}

bool Profile::writeString(const QString& section, const QString& key, const QString& value) const
{
    if (!isStorableSection(section) || !isStorableKey(key) || !canStore(value))
        return false;
    std::lock_guard<std::mutex> hold(writeMutex);
    const auto bytes = load();
    if (!bytes)
        return false;
    const ProfileDocument document(*bytes);
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(document.withValue(section, key, TextCodec::toGbk(value)));
    return file.commit();
}

bool Profile::canStore(const QString& text)
{
    if (text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(u'\0')))
        return false;
    return TextCodec::fromGbk(TextCodec::toGbk(text)) == text;
}
