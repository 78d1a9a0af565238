#include "archived/ArchiveService.h"
#include "archived/PrivilegeDrop.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {
ArchiveService* runningService = nullptr;

extern "C" void requestStop(int)
{
    if (runningService)
        runningService->stop();
}

// Every option's help names its default, so that --help shows how the service runs unless told.
QCommandLineOption option(const char* name, const char* description, const char* valueName,
                          const QString& defaultValue)
{
    const QString shown = defaultValue.isEmpty() ? QStringLiteral("none") : defaultValue;
    return QCommandLineOption(
        QString::fromLatin1(name),
        QStringLiteral("%1 (default: %2)").arg(QString::fromLatin1(description), shown),
        QString::fromLatin1(valueName), defaultValue);
}

void say(const QString& text)
{
    std::fprintf(stderr, "kevra-archived: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int fail(const QString& text)
{
    say(text);
    return 2;
}

bool readCount(const QCommandLineParser& parser, const QCommandLineOption& from, int& into)
{
    bool ok = false;
    const int value = parser.value(from).toInt(&ok);
    if (ok && value >= 1)
        into = value;
    return ok && value >= 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kevra-archived"));
    ArchivedSettings settings;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Packs and unpacks files under an FTP server's root for KEVRA clients."));
    parser.addHelpOption();
    const QCommandLineOption root =
        option("root", "Folder the service is confined to; required.", "folder", QString());
    const QCommandLineOption users =
        option("users", "Comma-separated FTP users served; required.", "names", QString());
    const QCommandLineOption port =
        option("port", "TCP port to listen on.", "port", QString::number(settings.port));
    const QCommandLineOption address =
        option("address", "Local address to listen on; 0.0.0.0 for every one.", "address",
               settings.address);
    const QCommandLineOption user =
        option("user", "User to switch to after binding, when started as root.", "name", QString());
    const QCommandLineOption password =
        option("password", "Password clients must send.", "text", settings.password);
    const QCommandLineOption clients = option("max-clients", "Requests at work at once.", "count",
                                              QString::number(settings.maxClients));
    const QCommandLineOption perPeer =
        option("max-per-peer", "Connections open at once from one address.", "count",
               QString::number(settings.maxPerPeer));
    const QCommandLineOption connections =
        option("max-connections", "Connections open at once in all.", "count",
               QString::number(settings.maxConnections));
    const QCommandLineOption timeout =
        option("request-timeout", "Seconds a connection has to send its request.", "seconds",
               QString::number(settings.requestTimeout.count() / 1000));
    const QCommandLineOption margin =
        option("disk-margin", "Percent of the disk's space and inodes always left free.", "percent",
               QString::number(settings.diskMarginPercent));
    parser.addOptions({root, users, port, address, user, password, clients, perPeer, connections,
                       timeout, margin});
    parser.process(application);

    settings.root = parser.value(root);
    settings.users = parser.value(users).split(QLatin1Char(','), Qt::SkipEmptyParts);
    settings.address = parser.value(address);
    settings.password = parser.value(password);
    int portNumber = 0;
    int seconds = 0;
    if (settings.root.isEmpty() || settings.users.isEmpty())
        return fail(QStringLiteral("--root and --users are required"));
    if (!readCount(parser, port, portNumber) || portNumber > 65535 ||
        !readCount(parser, clients, settings.maxClients) ||
        !readCount(parser, perPeer, settings.maxPerPeer) ||
        !readCount(parser, connections, settings.maxConnections) ||
        !readCount(parser, timeout, seconds) ||
        !readCount(parser, margin, settings.diskMarginPercent) || settings.diskMarginPercent > 90)
        return fail(QStringLiteral("bad number for an option; see --help"));
    settings.port = static_cast<quint16>(portNumber);
    settings.requestTimeout = std::chrono::seconds(seconds);

    ArchiveService service(settings);
    if (!service.listen())
        return fail(QStringLiteral("cannot listen on %1:%2 with root %3")
                        .arg(settings.address, parser.value(port), settings.root));
    QString error;
    if (parser.isSet(user) && !PrivilegeDrop::to(parser.value(user), error))
        return fail(QStringLiteral("cannot switch to user %1: %2").arg(parser.value(user), error));
    if (PrivilegeDrop::isRoot()) {
        service.log(QStringLiteral(
            "WARNING: running as root: every file written belongs to root and a fault could "
            "touch the whole system; give --user NAME (the FTP files' owner)"));
    }
    service.log(QStringLiteral("listening on %1:%2").arg(settings.address).arg(service.port()));
    runningService = &service;
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    service.run();
    runningService = nullptr;
    return 0;
}
