#include "accounts/AccountFile.h"

#include "accounts/AES.h"
#include "accounts/StoredFile.h"
#include "platform/TextCodec.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every record text has at least its four CRs, an LF and a port digit; anything shorter
// holds no account and is not written.
constexpr qsizetype ShortestStoredText = 6;
constexpr int FieldCount = 4;

QByteArray recordText(const AccountRecord& record)
{
    QByteArray text;
    for (const QString* field : {&record.server, &record.port, &record.user, &record.password}) {
        text += TextCodec::toGbk(*field);
        text += '\r';
    }
    text += '\n';
    return text;
}

QByteArray encipherUnit(const QByteArray& text)
{
    if (text.size() < ShortestStoredText)
        return {};
    AES cipher;
    return cipher.EncryptText(text);
}

QByteArray decipheredText(const QString& path)
{
    return AES().DecryptText(StoredFile::readWholeBlocks(path).value_or(QByteArray()));
}

// Scans from pos with an empty field and no completed fields. CR completes a field (a fifth or
// later one is dropped); LF ends the record once four fields are complete and is otherwise
// skipped; anything else belongs to the current field. On success pos is left on the LF.
bool parseNextRecord(const QByteArray& text, qsizetype& pos, AccountRecord& record)
{
    QByteArray fields[FieldCount];
    QByteArray field;
    int completed = 0;
    for (qsizetype i = std::max<qsizetype>(pos, 0); i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\r') {
            if (completed < FieldCount)
                fields[completed++] = field;
            field.clear();
        } else if (c == '\n') {
            if (completed == FieldCount) {
                record.server = TextCodec::fromGbk(fields[0]);
                record.port = TextCodec::fromGbk(fields[1]);
                record.user = TextCodec::fromGbk(fields[2]);
                record.password = TextCodec::fromGbk(fields[3]);
                pos = i;
                return true;
            }
        } else {
            field.append(c);
        }
    }
    pos = text.size();
    return false;
}

void createIfMissing(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CREAT | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd >= 0)
        ::close(fd);
}

} // namespace

QString AccountListPath(const QString& workPath)
{
    const QString folder = workPath.endsWith(u'/') ? workPath : workPath + u'/';
    return folder + QStringLiteral("list.dat");
}

QList<AccountRecord> LoadAccountList(const QString& path)
{
    const QByteArray text = decipheredText(path);
    QList<AccountRecord> records;
    AccountRecord record;
    for (qsizetype pos = 0; parseNextRecord(text, pos, record);) {
        record.number = static_cast<int>(records.size());
        records.append(record);
    }
    return records;
}

AccountWrite RewriteAccountList(const QString& path, const QList<AccountRecord>& rows)
{
    QByteArray text;
    for (const AccountRecord& row : rows) {
        if (row.hasUnstorableText())
            return AccountWrite::Refused;
        text += recordText(row);
    }
    return StoredFile::replace(path, encipherUnit(text)) ? AccountWrite::Written
                                                         : AccountWrite::Failed;
}

AccountWrite AppendAccount(const QString& server, int port, const QString& user,
                           const QString& password, const QString& path)
{
    const AccountRecord record{server, QString::number(port), user, password};
    if (record.hasUnstorableText())
        return AccountWrite::Refused;
    const std::optional<QByteArray> existing = StoredFile::readWholeBlocks(path);
    if (!existing)
        return AccountWrite::Failed;
    const QByteArray content = *existing + encipherUnit(recordText(record));
    return StoredFile::replace(path, content) ? AccountWrite::Written : AccountWrite::Failed;
}

bool NextSavedAccount(const QString& path, qsizetype& cursor, AccountRecord& record)
{
    createIfMissing(path);
    return parseNextRecord(decipheredText(path), cursor, record);
}
