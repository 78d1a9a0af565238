// Moves one file with FtpClient and prints the throughput, for bench/run.sh to set beside
// curl and lftp. Usage:
//   kevra_ftp_bench download|upload HOST PORT REMOTE LOCAL [passive]
// The time runs from the logon to the server's final reply of the transfer, as it does for a
// command-line client.

#include "ftp/FtpClient.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>

namespace {

int fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "kevra_ftp_bench: %s: %s\n", what, detail.toLocal8Bit().constData());
    return 1;
}

// Replies still owed after TransferFile: 150 and 226 for a download, 226 for an upload.
bool finalReplyIsSuccess(FtpClient& client, bool download)
{
    if (download && !client.Command(QString()) && client.replyClass != 1)
        return false;
    return client.Command(QString()) && client.replyLine.startsWith(QStringLiteral("226"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 6 || (arguments.at(1) != QStringLiteral("download") &&
                                 arguments.at(1) != QStringLiteral("upload"))) {
        std::fprintf(stderr, "usage: kevra_ftp_bench download|upload HOST PORT REMOTE LOCAL "
                             "[passive]\n");
        return 2;
    }
    const bool download = arguments.at(1) == QStringLiteral("download");
    const bool passive = arguments.size() > 6 && arguments.at(6) == QStringLiteral("passive");

    const auto started = std::chrono::steady_clock::now();
    FtpClient client;
    LogonInfo logon;
    logon.host = arguments.at(2);
    logon.port = arguments.at(3).toInt();
    logon.user = QStringLiteral("anonymous");
    if (!client.Logon(logon))
        return fail("logon", client.replyLine);
    if (!client.TransferFile(arguments.at(4), arguments.at(5), passive, download, QString()))
        return fail("transfer", client.replyLine);
    if (!finalReplyIsSuccess(client, download))
        return fail("final reply", client.replyLine);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;

    const double bytes = static_cast<double>(client.bytesDone.load());
    std::printf("%.0f %.6f %.1f\n", bytes, seconds.count(), bytes / seconds.count() / 1e6);
    client.SendCommand(QStringLiteral("QUIT"));
    return 0;
}
