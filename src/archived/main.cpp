#include "archived/ArchiveService.h"

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

QCommandLineOption option(const char* name, const char* description, const char* valueName,
                          const QString& defaultValue = QString())
{
    return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(description),
                              QString::fromLatin1(valueName), defaultValue);
}

int fail(const QString& text)
{
    std::fprintf(stderr, "kevra-archived: %s\n", text.toLocal8Bit().constData());
    return 2;
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
    const QCommandLineOption root = option("root", "Folder the service is confined to.", "folder");
    const QCommandLineOption users = option("users", "Comma-separated FTP users served.", "names");
    const QCommandLineOption port =
        option("port", "TCP port to listen on.", "port", QString::number(settings.port));
    const QCommandLineOption address =
        option("address", "Local address to listen on.", "address", settings.address);
    const QCommandLineOption password =
        option("password", "Password clients must send.", "text", settings.password);
    const QCommandLineOption clients = option("max-clients", "Requests served at once.", "count",
                                              QString::number(settings.maxClients));
    parser.addOptions({root, users, port, address, password, clients});
    parser.process(application);

    settings.root = parser.value(root);
    settings.users = parser.value(users).split(QLatin1Char(','), Qt::SkipEmptyParts);
    settings.address = parser.value(address);
    settings.password = parser.value(password);
    bool portOk = false;
    bool clientsOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    settings.maxClients = parser.value(clients).toInt(&clientsOk);
    if (settings.root.isEmpty() || settings.users.isEmpty())
        return fail(QStringLiteral("--root and --users are required"));
    if (!portOk || portNumber > 65535 || !clientsOk || settings.maxClients < 1)
        return fail(QStringLiteral("bad --port or --max-clients"));
    settings.port = static_cast<quint16>(portNumber);

    ArchiveService service(settings);
    if (!service.listen())
        return fail(QStringLiteral("cannot listen on %1:%2 with root %3")
                        .arg(settings.address, parser.value(port), settings.root));
    std::fprintf(stderr, "kevra-archived: listening on %s:%u\n",
                 settings.address.toLocal8Bit().constData(), unsigned(service.port()));
    std::fflush(stderr);
    runningService = &service;
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    service.run();
    runningService = nullptr;
    return 0;
}
