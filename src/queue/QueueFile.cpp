#include "queue/QueueFile.h"

#include "accounts/AES.h"
#include "accounts/StoredFile.h"
#include "platform/NamedMutex.h"
#include "platform/TextCodec.h"
#include "queue/RestoredProgress.h"

#include <QFile>

#include <algorithm>
#include <mutex>

namespace {

constexpr int FieldCount = 13;
constexpr int KindField = 12;
// After the kind, a record may name the temporary files its entry made (older readers drop
// a fourteenth field, so the file stays readable by them).
constexpr int PartsField = 13;
// One record is at least its thirteen CRs and an LF; anything shorter holds no row.
constexpr qsizetype LongestEmptyText = 13;

bool isUnfinished(const QString& state)
{
    return state == QueueState::Waiting || state == QueueState::Preparing ||
           state == QueueState::Downloading || state == QueueState::Uploading;
}

// An unfinished row comes back paused; the speed it was running at is then stale and would
// count in the rate line of a client that transfers nothing, so it is not kept.
QList<QString> storedFields(const TransferQueue::Row& row)
{
    QList<QString> fields(row.columns.begin(), row.columns.end());
    if (isUnfinished(fields[TransferQueue::StateColumn])) {
        fields[TransferQueue::StateColumn] = QueueState::Paused.toString();
        fields[TransferQueue::SpeedColumn].clear();
    }
    fields.append(row.folder == 1 ? QStringLiteral("D") : QStringLiteral("F"));
    if (!row.parts.isEmpty())
        fields.append(row.parts);
    return fields;
}

void appendRecord(QString& text, const QList<QString>& fields)
{
    for (const QString& field : fields) {
        text += field;
        text += u'\r';
    }
    text += u'\n';
}

void setField(QueueEntry& entry, int number, const QString& value)
{
    QString* const fields[] = {&entry.source, &entry.address, &entry.size,      &entry.progress,
                               &entry.target, &entry.action,  &entry.started,   &entry.finished,
                               &entry.speed,  &entry.elapsed, &entry.remaining, &entry.state};
    if (number < KindField)
        *fields[number] = value;
    else if (number == KindField)
        entry.folder = value == u"D" ? 1 : 0;
    else if (number == PartsField)
        entry.parts = value;
}

} // namespace

QueueFile::QueueFile(const QString& workPath, NamedMutex& writeLock)
    : path_(pathIn(workPath)), writeLock_(writeLock)
{
}

QString QueueFile::pathIn(const QString& workPath)
{
    const QString folder = workPath.endsWith(u'/') ? workPath : workPath + u'/';
    return folder + QStringLiteral("WFL.dat");
}

bool QueueFile::SaveQueue(const TransferQueue& queue)
{
    std::lock_guard<NamedMutex> guard(writeLock_);
    // The rows are read under the lock, so the save that writes last also saw the latest rows.
    const QByteArray text = plainText(queue.snapshot());
    if (text.size() <= LongestEmptyText)
        return StoredFile::replace(path_, QByteArray());
    AES cipher;
    return StoredFile::replace(path_, cipher.EncryptText(text));
}

int QueueFile::LoadQueue(TransferQueue& queue, const QString& serverBoxText, int* dropped) const
{
    if (dropped != nullptr)
        *dropped = 0;
    if (!QFile::exists(path_))
        return 0;
    const QByteArray cipher = StoredFile::readWholeBlocks(path_).value_or(QByteArray());
    QList<QueueEntry> entries = parseText(AES().DecryptText(cipher), dropped);
    for (QueueEntry& entry : entries)
        entry.progress = RestoredProgress(entry);
    return queue.appendRows(entries, serverBoxText);
}

// The text is converted to GBK once as a whole: CR and LF are single bytes in GBK, and opening
// the converter once per field made up most of the time of a large save.
QByteArray QueueFile::plainText(const QList<TransferQueue::Row>& rows)
{
    QString text;
    for (const TransferQueue::Row& row : rows) {
        const QList<QString> fields = storedFields(row);
        if (std::none_of(fields.cbegin(), fields.cend(), StoredFile::isUnstorable))
            appendRecord(text, fields);
    }
    return TextCodec::toGbk(text);
}

// No GBK trail byte is a CR or an LF, so the whole text can be decoded before it is split.
QList<QueueEntry> QueueFile::parseText(const QByteArray& text, int* dropped)
{
    const QString decoded = TextCodec::fromGbk(text);
    QList<QueueEntry> entries;
    QueueEntry entry;
    qsizetype fieldStart = 0;
    int completed = 0;
    int shortRecords = 0;
    QString field;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const QChar c = decoded.at(i);
        if (c == u'\r') {
            field += QStringView(decoded).mid(fieldStart, i - fieldStart);
            setField(entry, completed++, field);
            field.clear();
            fieldStart = i + 1;
        } else if (c == u'\n') {
            // An LF belongs to no field; a record short of its thirteen fields runs on into the
            // next one.
            field += QStringView(decoded).mid(fieldStart, i - fieldStart);
            fieldStart = i + 1;
            if (completed >= FieldCount) {
                entries.append(entry);
                entry = QueueEntry();
                completed = 0;
            } else {
                ++shortRecords;
            }
        }
    }
    const bool unfinished = completed > 0 || !field.isEmpty() || fieldStart < decoded.size();
    if (dropped != nullptr)
        *dropped = shortRecords + (unfinished ? 1 : 0);
    return entries;
}
