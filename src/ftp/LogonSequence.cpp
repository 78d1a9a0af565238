#include "ftp/LogonSequence.h"

#include "ftp/ControlChannel.h"
#include "ftp/EngineText.h"
#include "ftp/FtpClient.h"
#include "ftp/LogonInfo.h"
#include "ftp/TlsNegotiation.h"

#include <QStringList>

#include <array>

namespace {

// The logon sequences, one row per logon type. A row is a list of steps of three numbers:
// command code, next step after a 2xx reply, next step after a 3xx reply. A step is addressed
// by the index of its command code in the row. The table, not the command, decides what a
// reply means: a 2xx answer to SITE in type 1 is an error, for instance.
constexpr int LO = -1; // logged on
constexpr int ER = -2; // logon failed
constexpr int logonStepsPerRow = 6;
using LogonRow = std::array<int, 3 * logonStepsPerRow>;
constexpr std::array<LogonRow, 9> logonTable{{
    {0, LO, 3, 1, LO, 6, 2, LO, ER},
    {3, 6, 3, 4, 6, ER, 5, ER, 9, 0, LO, 12, 1, LO, 15, 2, LO, ER},
    {3, 6, 3, 4, 6, ER, 6, LO, 9, 1, LO, 12, 2, LO, ER},
    {7, 3, 3, 0, LO, 6, 1, LO, 9, 2, LO, ER},
    {3, 6, 3, 4, 6, ER, 0, LO, 9, 1, LO, 12, 2, LO, ER},
    {6, LO, 3, 1, LO, 6, 2, LO, ER},
    {8, 6, 3, 4, 6, ER, 0, LO, 9, 1, LO, 12, 2, LO, ER},
    {9, ER, 3, 1, LO, 6, 2, LO, ER},
    {10, LO, 3, 11, LO, 6, 2, LO, ER},
}};

QString logonCommand(int code, const LogonInfo& info, const QString& hostText)
{
    const QString at = QStringLiteral("@");
    switch (code) {
    case 0:
        return QStringLiteral("USER ") + info.user;
    case 1:
        return QStringLiteral("PASS ") + info.password;
    case 2:
        return QStringLiteral("ACCT ") + info.account;
    case 3:
        return QStringLiteral("USER ") + info.firewallUser;
    case 4:
        return QStringLiteral("PASS ") + info.firewallPassword;
    case 5:
        return QStringLiteral("SITE ") + hostText;
    case 6:
        return QStringLiteral("USER ") + info.user + at + hostText;
    case 7:
        return QStringLiteral("OPEN ") + hostText;
    case 8:
        return QStringLiteral("USER ") + info.firewallUser + at + hostText;
    case 9:
        return QStringLiteral("USER ") + info.user + at + hostText + QLatin1Char(' ') +
               info.firewallUser;
    case 10:
        return QStringLiteral("USER ") + info.user + at + info.firewallUser + at + hostText;
    case 11:
        return QStringLiteral("PASS ") + info.password + at + info.firewallPassword;
    }
    return QString();
}

bool announcesUtf8(const QString& featReply)
{
    const QStringList lines = featReply.split(QStringLiteral("\r\n"));
    for (const QString& line : lines) {
        if (line.trimmed().compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isAscii(const QString& text)
{
    for (const QChar character : text) {
        if (character.unicode() > 0x7f)
            return false;
    }
    return true;
}

bool hasNonAsciiCredentials(const LogonInfo& info)
{
    for (const QString* text :
         {&info.user, &info.password, &info.account, &info.firewallUser, &info.firewallPassword}) {
        if (!isAscii(*text))
            return true;
    }
    return false;
}

} // namespace

LogonSequence::LogonSequence(FtpClient& client, ControlChannel& control, TlsNegotiation& tls)
    : client_(client), control_(control), tls_(tls)
{
}

bool LogonSequence::run(const LogonInfo& info)
{
    if (static_cast<unsigned>(info.logonType) >= logonTable.size())
        return false;
    features_ = ServerFeatures();
    Result result = logOnOnce(info, TextCodec::Encoding::Gbk);
    // The names' encoding is only learnt from FEAT after the logon, so non-ASCII credentials
    // first go out as GBK; a server that keeps UTF-8 refuses those bytes. One more try over
    // a new connection speaks UTF-8 from the start.
    if (result == Result::Refused && hasNonAsciiCredentials(info)) {
        control_.disconnect();
        result = logOnOnce(info, TextCodec::Encoding::Utf8);
    }
    if (result != Result::LoggedOn)
        return false;
    ++count_;
    return true;
}

LogonSequence::Result LogonSequence::logOnOnce(const LogonInfo& info, TextCodec::Encoding encoding)
{
    client_.logonLog.clear();
    control_.setEncoding(encoding);
    serverEncoding_ = encoding;
    const bool direct = info.logonType == 0;
    if (!control_.connect(direct ? info.host : info.firewallHost,
                          direct ? info.port : info.firewallPort))
        return Result::Failed;
    if (!control_.command(QString()))
        return Result::Failed;
    noteGreeting();
    if (info.tlsMode != TlsMode::Plain && !tls_.negotiate(tls_.modeFor(info.tlsMode)))
        return Result::Failed;
    QString hostText = info.host;
    if (info.port != 21)
        hostText += QStringLiteral(":%1").arg(info.port);
    const Result result = runTable(info, hostText);
    if (result == Result::LoggedOn && !negotiateEncoding())
        return Result::Failed;
    return result;
}

void LogonSequence::noteGreeting()
{
    if (client_.replyText.contains(QLatin1String("Microsoft")))
        client_.serverKind = 1;
    if (client_.replyText.contains(QLatin1String("Serv-U")))
        client_.serverKind = 2;
    client_.logonLog += client_.replyText;
}

LogonSequence::Result LogonSequence::runTable(const LogonInfo& info, const QString& hostText)
{
    const LogonRow& row = logonTable[static_cast<std::size_t>(info.logonType)];
    int step = 0;
    // Every next step lies after the current one, so a row ends within its number of steps.
    for (int taken = 0; taken < logonStepsPerRow; ++taken) {
        const auto at = static_cast<std::size_t>(step);
        if (!control_.exchange(logonCommand(row[at], info, hostText)))
            return Result::Failed;
        const int replyClass = client_.replyClass;
        if (replyClass != 2 && replyClass != 3)
            return Result::Refused;
        client_.logonLog += client_.replyText;
        step = row[at + (replyClass == 2 ? 1 : 2)];
        if (step == LO)
            return Result::LoggedOn;
        if (step == ER)
            break;
    }
    control_.fail(enginetext::errorText(enginetext::ErrorText::LogonFailed));
    return Result::Refused;
}

// Servers that keep UTF-8 names say so in FEAT; the connection then speaks UTF-8 whatever
// the answer to OPTS (some servers refuse the command and use UTF-8 all the same). The reply
// fields are restored so that a caller sees the logon's last reply.
bool LogonSequence::negotiateEncoding()
{
    const QString logonLine = client_.replyLine;
    const QString logonText = client_.replyText;
    const int logonClass = client_.replyClass;
    if (!control_.exchange(QStringLiteral("FEAT")))
        return false;
    features_ = ServerFeatures::parse(client_.replyText);
    if (client_.replyClass == 2 && announcesUtf8(client_.replyText)) {
        if (!control_.exchange(QStringLiteral("OPTS UTF8 ON")))
            return false;
        control_.setEncoding(TextCodec::Encoding::Utf8);
        serverEncoding_ = TextCodec::Encoding::Utf8;
    }
    client_.replyLine = logonLine;
    client_.replyText = logonText;
    client_.replyClass = logonClass;
    return true;
}
