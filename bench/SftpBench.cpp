// Moves one file with SftpClient and prints the throughput, for bench/sftp-transfer.sh to set
// beside OpenSSH's sftp and curl. Usage:
//   kevra_sftp_bench download|upload HOST PORT USER REMOTE LOCAL
// Keys and known_hosts come from $HOME/.ssh; an unknown host key is refused. The time runs
// from the connection to the end of TransferFile, which has then seen every write acknowledged
// and, after an upload, the server's size of the file, as a command-line client does.

#include "sftp/SftpClient.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>

namespace {

int fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "kevra_sftp_bench: %s: %s\n", what, detail.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 7 || (arguments.at(1) != QStringLiteral("download") &&
                                  arguments.at(1) != QStringLiteral("upload"))) {
        std::fprintf(stderr,
                     "usage: kevra_sftp_bench download|upload HOST PORT USER REMOTE LOCAL\n");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    SftpClient client;
    if (!client.Connect(arguments.at(2), arguments.at(3).toInt()) ||
        !client.Logon(arguments.at(4), QString()))
        return fail("logon", client.replyLine);
    if (!client.TransferFile(arguments.at(5).toUtf8(), arguments.at(6),
                             arguments.at(1) == QStringLiteral("download")))
        return fail("transfer", client.replyLine);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    const double bytes = static_cast<double>(client.bytesDone.load());
    std::printf("%.0f %.6f %.1f\n", bytes, seconds.count(), bytes / seconds.count() / 1e6);
    return 0;
}
