// Speed-limit benchmark: COUNT downloads of /pub/file-<i>.bin at once, each on an FtpClient of
// its own, all sharing one download limit, as the queue's transfers do. Prints the seconds from
// the start to the first and to the last finished download, or fails when one fails.
// Usage: kevra_limits_bench HOST PORT FOLDER COUNT LIMIT_KB
#include "ftp/FtpClient.h"
#include "ftp/SpeedLimits.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 6) {
        std::fprintf(stderr, "usage: kevra_limits_bench HOST PORT FOLDER COUNT LIMIT_KB\n");
        return 2;
    }
    const QString folder = arguments.at(3);
    const int count = arguments.at(4).toInt();
    auto limits = std::make_shared<SpeedLimits>();
    limits->apply(arguments.at(5).toInt(), 0);

    using Clock = std::chrono::steady_clock;
    std::vector<std::unique_ptr<FtpClient>> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<FtpClient>());
        clients.back()->setSpeedLimits(limits);
        LogonInfo logon;
        logon.host = arguments.at(1);
        logon.port = arguments.at(2).toInt();
        logon.user = QStringLiteral("anonymous");
        if (!clients.back()->Logon(logon)) {
            std::fprintf(stderr, "logon: %s\n", qPrintable(clients.back()->replyLine));
            return 1;
        }
    }
    std::vector<double> finished(count, -1);
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            const QString name = QStringLiteral("file-%1.bin").arg(i + 1);
            if (clients[i]->TransferFile(QStringLiteral("pub/") + name, folder + u'/' + name, false,
                                         true, QString()))
                finished[i] = std::chrono::duration<double>(Clock::now() - started).count();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    if (std::any_of(finished.begin(), finished.end(), [](double t) { return t < 0; })) {
        std::fprintf(stderr, "a download failed\n");
        return 1;
    }
    const auto [first, last] = std::minmax_element(finished.begin(), finished.end());
    std::printf("%.3f %.3f\n", *first, *last);
    return 0;
}
