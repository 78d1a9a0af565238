#include "view/FileProperties.h"

#include "listing/FormatSize.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>

#include <algorithm>

namespace {

QString timeText(const QDateTime& time)
{
    if (!time.isValid())
        return QStringLiteral("未知");
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString typeOf(const QFileInfo& info)
{
    if (info.isSymLink())
        return QStringLiteral("符号链接");
    if (info.isDir())
        return QStringLiteral("文件夹");
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    return type.comment().isEmpty() ? type.name() : type.comment();
}

QString sizeOf(const QFileInfo& info)
{
    if (info.isDir() || !info.exists())
        return QString();
    const auto bytes = static_cast<quint64>(std::max<qint64>(info.size(), 0));
    return FormatSize(bytes) + QStringLiteral(" (") + QString::number(bytes) +
           QStringLiteral(" 字节)");
}

// "rwxr-x---" and its octal form, as ls and chmod show them.
QString permissionsOf(const QFileInfo& info)
{
    struct Bit {
        QFileDevice::Permission permission;
        char letter;
        int value;
    };
    static const Bit bits[] = {
        {QFileDevice::ReadOwner, 'r', 0400}, {QFileDevice::WriteOwner, 'w', 0200},
        {QFileDevice::ExeOwner, 'x', 0100},  {QFileDevice::ReadGroup, 'r', 040},
        {QFileDevice::WriteGroup, 'w', 020}, {QFileDevice::ExeGroup, 'x', 010},
        {QFileDevice::ReadOther, 'r', 04},   {QFileDevice::WriteOther, 'w', 02},
        {QFileDevice::ExeOther, 'x', 01}};
    const QFileDevice::Permissions granted = info.permissions();
    QString letters;
    int octal = 0;
    for (const Bit& bit : bits) {
        const bool set = granted.testFlag(bit.permission);
        letters += QLatin1Char(set ? bit.letter : '-');
        octal |= set ? bit.value : 0;
    }
    return letters + QStringLiteral(" (") +
           QStringLiteral("%1").arg(octal, 3, 8, QLatin1Char('0')) + QLatin1Char(')');
}

QString nameOrId(const QString& name, uint id)
{
    return name.isEmpty() ? QString::number(id) : name;
}

} // namespace

FileProperties FileProperties::read(const QString& path)
{
    const QFileInfo info(path);
    FileProperties properties;
    properties.name = info.fileName();
    properties.type = typeOf(info);
    properties.location = info.absolutePath();
    properties.size = sizeOf(info);
    properties.created = timeText(info.birthTime());
    properties.modified = timeText(info.lastModified());
    properties.accessed = timeText(info.lastRead());
    properties.permissions = permissionsOf(info);
    properties.owner = nameOrId(info.owner(), info.ownerId());
    properties.group = nameOrId(info.group(), info.groupId());
    if (info.isSymLink())
        properties.linkTarget = info.symLinkTarget();
    return properties;
}

QVector<FileProperties::Line> FileProperties::lines() const
{
    QVector<Line> result{{QStringLiteral("名称"), name},
                         {QStringLiteral("类型"), type},
                         {QStringLiteral("位置"), location}};
    if (!size.isEmpty())
        result.append({QStringLiteral("大小"), size});
    result.append({{QStringLiteral("创建时间"), created},
                   {QStringLiteral("修改时间"), modified},
                   {QStringLiteral("访问时间"), accessed},
                   {QStringLiteral("权限"), permissions},
                   {QStringLiteral("所有者"), owner},
                   {QStringLiteral("组"), group}});
    if (!linkTarget.isEmpty())
        result.append({QStringLiteral("链接目标"), linkTarget});
    return result;
}
