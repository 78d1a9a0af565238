#include "sftp/SftpEntryText.h"

#include <libssh/libssh.h>
#include <libssh/sftp.h>

namespace sftpentrytext {
namespace {

QChar executeMark(bool execute, bool special, char specialLetter)
{
    if (special)
        return QLatin1Char(execute ? specialLetter : char(specialLetter - 'a' + 'A'));
    return QLatin1Char(execute ? 'x' : '-');
}

} // namespace

QString permissionsText(quint32 mode)
{
    QString text;
    const quint32 special[3] = {04000, 02000, 01000};
    const char specialLetter[3] = {'s', 's', 't'};
    for (int who = 0; who < 3; ++who) {
        const int shift = 6 - 3 * who;
        text += QLatin1Char(mode & (4u << shift) ? 'r' : '-');
        text += QLatin1Char(mode & (2u << shift) ? 'w' : '-');
        text += executeMark(mode & (1u << shift), mode & special[who], specialLetter[who]);
    }
    return text;
}

SftpEntry fromAttributes(const sftp_attributes_struct* attributes)
{
    SftpEntry entry;
    entry.rawName = QByteArray(attributes->name ? attributes->name : "");
    entry.name = QString::fromUtf8(entry.rawName);
    entry.isFolder = attributes->type == SSH_FILEXFER_TYPE_DIRECTORY;
    entry.isLink = attributes->type == SSH_FILEXFER_TYPE_SYMLINK;
    if (!entry.isFolder && (attributes->flags & SSH_FILEXFER_ATTR_SIZE))
        entry.size = attributes->size;
    if (attributes->flags & SSH_FILEXFER_ATTR_ACMODTIME)
        entry.modified = QDateTime::fromSecsSinceEpoch(qint64(attributes->mtime), Qt::UTC);
    if (attributes->flags & SSH_FILEXFER_ATTR_PERMISSIONS)
        entry.permissions = permissionsText(attributes->permissions);
    entry.owner =
        attributes->owner ? QByteArray(attributes->owner) : QByteArray::number(attributes->uid);
    entry.group =
        attributes->group ? QByteArray(attributes->group) : QByteArray::number(attributes->gid);
    return entry;
}

QByteArray listingLine(const SftpEntry& entry, const QDateTime& now)
{
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime modified = entry.modified.isValid() ? entry.modified.toUTC()
                                                        : QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    const bool recent = modified > now.addMonths(-6) && modified <= now.addDays(1);
    const QByteArray date = QByteArray(months[modified.date().month() - 1]) + ' ' +
                            QByteArray::number(modified.date().day()).rightJustified(2, '0') + ' ' +
                            (recent ? modified.toString(QStringLiteral("HH:mm")).toLatin1()
                                    : ' ' + QByteArray::number(modified.date().year()));
    const char type = entry.isLink ? 'l' : entry.isFolder ? 'd' : '-';
    const QByteArray permissions =
        entry.permissions.isEmpty() ? QByteArray("rw-r--r--") : entry.permissions.toLatin1();
    return type + permissions + " 1 " + (entry.owner.isEmpty() ? "-" : entry.owner) + ' ' +
           (entry.group.isEmpty() ? "-" : entry.group) + ' ' + QByteArray::number(entry.size) +
           ' ' + date + ' ' + entry.rawName;
}

} // namespace sftpentrytext
