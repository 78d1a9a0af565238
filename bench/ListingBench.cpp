// Remote listing benchmark: connects the main view to an FTP server, then measures, REPS times,
// the time from a refresh request to the last row shown in the remote list.
// Usage: kevra_listing_bench <host> <port> <folder> <expected rows> [reps]
#include "config/Configuration.h"
#include "platform/Prompt.h"
#include "session/SessionMessages.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"
#include "view/gui/SessionController.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class SilentPrompt : public Prompt {
public:
    PromptAnswer ask(const QString&, const QString&, PromptButtons) override
    {
        return PromptAnswer::Ok;
    }
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    // Sleeping until the next event, rather than polling, leaves the processor to the session
    // thread being measured (polling took a whole core of two); the tick bounds each sleep.
    QTimer tick;
    tick.start(10);
    while (!condition() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return condition();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s host port folder rows [reps]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const QString host = QString::fromLocal8Bit(argv[1]);
    const int port = QString::fromLocal8Bit(argv[2]).toInt();
    const QString folder = QString::fromLocal8Bit(argv[3]);
    const int rows = QString::fromLocal8Bit(argv[4]).toInt() + 1; // and ".."
    const int reps = argc > 5 ? QString::fromLocal8Bit(argv[5]).toInt() : 5;

    QTemporaryDir work;
    SilentPrompt prompt;
    CftpView view;
    view.initialUpdate(LoadConfiguration(work.path()));
    view.resize(1400, 900);
    view.show();
    SessionController sessions(view, prompt, work.path());
    view.setHost(host);
    view.setPort(port);
    view.setUser(QStringLiteral("anonymous"));
    view.setPassword(QStringLiteral("bench"));
    sessions.OnConnect();
    if (!waitFor([&] { return view.sessionTabs()->count() == 1; })) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    view.remotePathBox()->setEditText(folder);
    if (!waitFor([&] { return view.remoteFiles()->rowCount() == rows; })) {
        std::fprintf(stderr, "listing never reached %d rows\n", rows);
        return 1;
    }
    std::vector<qint64> times;
    for (int i = 0; i < reps; ++i) {
        view.remoteFiles()->clear();
        QElapsedTimer timer;
        timer.start();
        sessions.refreshRemote();
        waitFor([&] { return view.remoteFiles()->rowCount() == rows; });
        QCoreApplication::processEvents(); // the rows painted
        times.push_back(timer.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    std::printf("%.1f\n", static_cast<double>(times[times.size() / 2]) / 1e6);
    return 0;
}
