#include "support/FakeFtpServer.h"

#include <QString>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr milliseconds acceptSlice{50};

} // namespace

FakeFtpServer::FakeFtpServer(const QString& address) : address_(address)
{
    if (listener_.listen(address, 0, 5))
        port_ = listener_.port();
}

FakeFtpServer::~FakeFtpServer()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

void FakeFtpServer::start(Script script)
{
    startEach({std::move(script)});
}

void FakeFtpServer::startEach(std::vector<Script> scripts)
{
    thread_ = std::thread([this, scripts = std::move(scripts)] { run(scripts); });
}

bool FakeFtpServer::finish()
{
    const auto deadline = steady_clock::now() + 2 * timeout_;
    while (!finished_ && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(2));
    const bool ended = finished_;
    if (!ended) {
        stopping_ = true;
        recordFailure(QStringLiteral("the script did not end in time"));
    }
    if (thread_.joinable())
        thread_.join();
    return ended;
}

void FakeFtpServer::run(const std::vector<Script>& scripts)
{
    for (const Script& script : scripts) {
        if (stopping_)
            break;
        runOne(script);
    }
    finished_ = true;
}

void FakeFtpServer::runOne(const Script& script)
{
    const auto deadline = steady_clock::now() + timeout_;
    TcpSocket control;
    while (!control.isOpen() && !stopping_ && steady_clock::now() < deadline)
        control = listener_.accept(acceptSlice);
    if (!control.isOpen()) {
        recordFailure(QStringLiteral("no client connected"));
    } else {
        FakeFtpSession session(std::move(control), timeout_, stopping_, recordLock_, commands_);
        try {
            script(session);
        } catch (const std::exception& failure) {
            recordFailure(QString::fromStdString(failure.what()));
        }
    }
}

void FakeFtpServer::recordFailure(const QString& text)
{
    std::lock_guard<std::mutex> hold(recordLock_);
    failures_.append(text);
}

QList<QByteArray> FakeFtpServer::commands() const
{
    std::lock_guard<std::mutex> hold(recordLock_);
    return commands_;
}

QStringList FakeFtpServer::failures() const
{
    std::lock_guard<std::mutex> hold(recordLock_);
    return failures_;
}
