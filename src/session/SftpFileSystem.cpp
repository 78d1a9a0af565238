#include "session/SftpFileSystem.h"

#include "sftp/SftpEntryText.h"

#include <QDateTime>

namespace {

const QString ftpTimeFormat = QStringLiteral("yyyyMMddHHmmss");

QString decodedName(const QByteArray& bytes, TextCodec::Encoding& encoding)
{
    encoding = TextCodec::isValidUtf8(bytes) ? TextCodec::Encoding::Utf8 : TextCodec::Encoding::Gbk;
    return TextCodec(encoding).decode(bytes);
}

} // namespace

bool SftpFileSystem::reply(int code, const QString& text)
{
    replyLine_ = QString::number(code) + u' ' + text;
    replyClass_ = code / 100;
    return replyClass_ == 2 || replyClass_ == 3;
}

// The engine's reason as FTP would answer: 421 when the connection is gone, else 550.
bool SftpFileSystem::refused()
{
    networkFailure_ = client_.networkFailure;
    if (networkFailure_ || !client_.isConnected()) {
        fault_ = client_.replyLine;
        return reply(421, client_.replyLine);
    }
    return reply(550, client_.replyLine);
}

QByteArray SftpFileSystem::pathOf(const QString& wireText) const
{
    const QByteArray bytes = codec_.encode(wireText);
    if (bytes.isEmpty())
        return current_;
    if (bytes.startsWith('/'))
        return bytes;
    return (current_.endsWith('/') ? current_ : current_ + '/') + bytes;
}

bool SftpFileSystem::Logon(const LogonInfo& info)
{
    fault_.clear();
    networkFailure_ = false;
    if (!client_.Connect(info.host, info.port)) {
        fault_ = client_.replyLine;
        networkFailure_ = client_.networkFailure;
        return reply(421, client_.replyLine);
    }
    if (!client_.Logon(info.user, info.password))
        return client_.networkFailure ? refused() : reply(530, client_.replyLine);
    const std::optional<QByteArray> home = client_.ResolveFolder(".");
    if (!home)
        return refused();
    current_ = *home;
    logonLog_ = QStringLiteral("SSH 登录成功,文件经 SFTP 加密传输\r\n");
    return reply(230, QStringLiteral("已登录"));
}

bool SftpFileSystem::Command(const QString& text)
{
    networkFailure_ = false;
    const qsizetype blank = text.indexOf(u' ');
    const QString verb = text.left(blank < 0 ? text.size() : blank).toUpper();
    const QString argument = blank < 0 ? QString() : text.mid(blank + 1);
    if (verb.isEmpty())
        return reply(200, QStringLiteral("没有待读的回复"));
    if (verb == QLatin1String("PWD"))
        return reply(257, u'"' + QueryPwd() + u'"');
    if (verb == QLatin1String("NOOP"))
        return client_.Stat(current_) ? reply(200, QStringLiteral("NOOP")) : refused();
    if (verb == QLatin1String("CWD"))
        return changeFolder(argument);
    if (verb == QLatin1String("MKD"))
        return client_.MakeFolder(pathOf(argument)) ? reply(257, argument) : refused();
    if (verb == QLatin1String("RMD"))
        return client_.RemoveFolder(pathOf(argument)) ? reply(250, argument) : refused();
    if (verb == QLatin1String("DELE"))
        return client_.RemoveFile(pathOf(argument)) ? reply(250, argument) : refused();
    if (verb == QLatin1String("RNFR")) {
        renameFrom_ = pathOf(argument);
        return client_.Stat(renameFrom_) ? reply(350, argument) : refused();
    }
    if (verb == QLatin1String("MDTM"))
        return modificationTime(argument);
    if (verb == QLatin1String("MFMT"))
        return setModificationTime(argument);
    if (verb == QLatin1String("RNTO"))
        return client_.Rename(renameFrom_, pathOf(argument)) ? reply(250, argument) : refused();
    return reply(502, QStringLiteral("SFTP 连接不支持命令 %1").arg(verb));
}

bool SftpFileSystem::offers(const QString& command) const
{
    return command == QLatin1String("MDTM") || command == QLatin1String("MFMT");
}

// Times go as FTP writes them, "yyyyMMddHHmmss" in UTC.
bool SftpFileSystem::modificationTime(const QString& argument)
{
    const std::optional<SftpEntry> entry = client_.Stat(pathOf(argument));
    if (!entry)
        return refused();
    if (!entry->modified.isValid())
        return reply(550, QStringLiteral("服务器没有给出修改时间"));
    return reply(213, entry->modified.toUTC().toString(ftpTimeFormat));
}

// "MFMT <time> <name>".
bool SftpFileSystem::setModificationTime(const QString& argument)
{
    const qsizetype blank = argument.indexOf(u' ');
    QDateTime time = QDateTime::fromString(argument.left(blank), ftpTimeFormat);
    time.setTimeSpec(Qt::UTC);
    if (blank < 0 || !time.isValid())
        return reply(501, QStringLiteral("时间格式错误"));
    const QString name = argument.mid(blank + 1);
    return client_.SetModified(pathOf(name), time) ? reply(213, argument) : refused();
}

bool SftpFileSystem::changeFolder(const QString& argument)
{
    const std::optional<QByteArray> folder = client_.ResolveFolder(pathOf(argument));
    if (!folder)
        return refused();
    current_ = *folder;
    return reply(250, argument);
}

QString SftpFileSystem::QueryPwd()
{
    return TextCodec(Encoding::Utf8).decode(current_);
}

QString SftpFileSystem::QuerySize(const QString& name)
{
    networkFailure_ = false;
    const std::optional<SftpEntry> entry = client_.Stat(pathOf(name));
    if (!entry) {
        refused();
        return QStringLiteral("0");
    }
    if (entry->isFolder) {
        reply(550, QStringLiteral("%1 是文件夹").arg(name));
        return QStringLiteral("0");
    }
    reply(213, QString::number(entry->size));
    return QString::number(entry->size);
}

// A folder lists as a "total" line and its entries, a file as its own line, as ls -l does.
bool SftpFileSystem::List(const QString& argument)
{
    networkFailure_ = false;
    lines_.clear();
    const QByteArray path = pathOf(argument);
    const std::optional<SftpEntry> entry = client_.Stat(path);
    if (!entry)
        return refused();
    if (entry->isFolder)
        return listFolder(path);
    lines_.append(sftpentrytext::listingLine(*entry, QDateTime::currentDateTimeUtc()));
    return reply(226, QStringLiteral("列表完成"));
}

bool SftpFileSystem::listFolder(const QByteArray& path)
{
    QVector<SftpEntry> entries;
    if (!client_.List(path, entries))
        return refused();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    lines_.append("total " + QByteArray::number(entries.size()));
    for (const SftpEntry& entry : entries)
        lines_.append(sftpentrytext::listingLine(entry, now));
    return reply(226, QStringLiteral("列表完成"));
}

bool SftpFileSystem::NextListLine(qsizetype& position)
{
    if (position < 0 || position >= lines_.size())
        return false;
    listLine_ = decodedName(lines_.at(position), listEncoding_);
    ++position;
    return true;
}

bool SftpFileSystem::TransferFile(const QString& remote, const QString& local, bool /*passive*/,
                                  bool download, const QString& /*extra*/)
{
    networkFailure_ = false;
    if (!client_.TransferFile(pathOf(remote), local, download)) {
        refused();
        return false;
    }
    if (client_.abortRequested)
        reply(426, QStringLiteral("传输已中断"));
    else
        reply(226, QStringLiteral("传输完成"));
    return true;
}
