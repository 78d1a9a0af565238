#include "app/CommandLine.h"

namespace {

CommandLine failure(const QString& error)
{
    CommandLine result;
    result.action = CommandLine::Action::Fail;
    result.error = error;
    return result;
}

CommandLine withAction(CommandLine::Action action)
{
    CommandLine result;
    result.action = action;
    return result;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine result;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help"))
            return withAction(Action::Help);
        if (argument == QLatin1String("--version"))
            return withAction(Action::Version);
        if (argument.startsWith(QLatin1Char('-')))
            return failure(QStringLiteral("无法识别的选项: ") + argument);
        if (result.url)
            return failure(QStringLiteral("只能给出一个地址"));
        QString error;
        result.url = FtpUrl::parse(argument, error);
        if (!result.url)
            return failure(error);
        result.urlText = argument;
    }
    return result;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "用法: kevra [ftp[es]://|sftp://[用户[:密码]@]服务器[:端口][/路径]]\n"
        "  启动 KEVRA;给出地址时启动后即连接该服务器并打开该路径。\n"
        "  ftpes:// 要求以 TLS 加密连接,ftp:// 不加密;\n"
        "  sftp:// 经 SSH 传输(默认端口 22),可用密码、ssh-agent 或 ~/.ssh 中的密钥登录。\n"
        "  地址中的密码读取后即从进程列表中抹去,但启动之初本机其他用户\n"
        "  仍可能看到,也会留在命令历史中;保存在“服务器列表”中的账户更安全。\n"
        "  --help     显示本说明并退出\n"
        "  --version  显示版本并退出\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("KEVRA " KEVRA_VERSION "\n");
}
