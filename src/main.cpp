#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CftpApp.h"
#include "app/gui/UrlOpener.h"
#include "platform/gui/MessageBoxPrompt.h"
#include "view/gui/CftpView.h"
#include "view/gui/ViewFeatures.h"

#include <QApplication>

#include <chrono>
#include <cstdio>

namespace {

// How long a later start waits for a running KEVRA, busy or stopped, to take its request.
constexpr std::chrono::milliseconds HandOverPatience(10000);

QStringList argumentsAfterProgram(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char** argv)
{
    // Read before QApplication exists, so that --help and --version work without a display.
    const CommandLine command = CommandLine::parse(argumentsAfterProgram(argc, argv));
    switch (command.action) {
    case CommandLine::Action::Help:
        print(stdout, CommandLine::usage());
        return 0;
    case CommandLine::Action::Version:
        print(stdout, CommandLine::versionText());
        return 0;
    case CommandLine::Action::Fail:
        print(stderr, QStringLiteral("kevra: ") + command.error + QLatin1Char('\n'));
        print(stderr, CommandLine::usage());
        return CommandLine::UsageError;
    case CommandLine::Action::Start:
        break;
    }
    for (int i = 1; i < argc; ++i)
        FtpUrl::blankPassword(argv[i]);

    QApplication application(argc, argv);
    SingleInstance instance(SingleInstance::defaultSocketPath());
    switch (instance.start(command.urlText, HandOverPatience)) {
    case SingleInstance::Start::HandedOver:
        print(stderr, QStringLiteral("kevra: 已交给正在运行的 KEVRA\n"));
        return 0;
    case SingleInstance::Start::Unanswered:
        print(stderr, QStringLiteral("kevra: 已有一个 KEVRA 在运行,但它没有应答(忙碌或已暂停),"
                                     "本次启动结束\n"));
        return 1;
    case SingleInstance::Start::Running:
        break;
    }

    MessageBoxPrompt prompt;
    CftpApp kevra(prompt);
    kevra.InitInstance();
    UrlOpener opener(*kevra.mainFrame(), *kevra.mainFrame()->view(), kevra.features()->sessions());
    QObject::connect(&instance, &SingleInstance::requestReceived, &opener, &UrlOpener::openRequest);
    if (command.url)
        opener.open(*command.url);
    return application.exec();
}
