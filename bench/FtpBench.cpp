// Moves one file with FtpClient and prints the throughput, for bench/run.sh and
// bench/tls-transfer.sh to set beside curl and lftp. Usage:
//   kevra_ftp_bench download|upload HOST PORT REMOTE LOCAL [passive] [tls]
// With tls the logon requires TLS and takes any certificate, as curl -k does.
// The time runs from the logon to the end of TransferFile, which has then read the server's
// closing reply (and, after an upload, its size of the file), as a command-line client does.

#include "BenchLogon.h"
#include "ftp/CertificateJudge.h"
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

class AnyCertificate : public CertificateJudge {
public:
    bool acceptCertificate(const QString&, int, const TlsCertificate&) override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 6 || (arguments.at(1) != QStringLiteral("download") &&
                                 arguments.at(1) != QStringLiteral("upload"))) {
        std::fprintf(stderr, "usage: kevra_ftp_bench download|upload HOST PORT REMOTE LOCAL "
                             "[passive] [tls]\n");
        return 2;
    }
    const bool download = arguments.at(1) == QStringLiteral("download");
    const QStringList options = arguments.mid(6);
    const bool passive = options.contains(QStringLiteral("passive"));
    const bool tls = options.contains(QStringLiteral("tls"));

    const auto started = std::chrono::steady_clock::now();
    FtpClient client;
    client.setCertificateJudge(std::make_shared<AnyCertificate>());
    if (!logOnFromArguments(client, arguments, tls ? TlsMode::Required : TlsMode::Plain))
        return fail("logon", client.replyLine);
    if (!client.TransferFile(arguments.at(4), arguments.at(5), passive, download, QString()))
        return fail("transfer", client.replyLine);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;

    const double bytes = static_cast<double>(client.bytesDone.load());
    std::printf("%.0f %.6f %.1f\n", bytes, seconds.count(), bytes / seconds.count() / 1e6);
    client.SendCommand(QStringLiteral("QUIT"));
    return 0;
}
