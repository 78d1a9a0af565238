#include "app/gui/UrlOpener.h"

#include "app/FtpUrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/SessionController.h"

#include <QWidget>

UrlOpener::UrlOpener(QWidget& window, CftpView& view, SessionController& sessions, QObject* parent)
    : QObject(parent), window_(window), view_(view), sessions_(sessions)
{
}

void UrlOpener::open(const FtpUrl& url)
{
    view_.setHost(url.server());
    view_.setPort(url.port);
    view_.setUser(url.user);
    view_.setPassword(url.password);
    sessions_.openAfterLogon(url.path);
    sessions_.OnConnect();
}

void UrlOpener::openRequest(const QString& request)
{
    if (window_.isMinimized())
        window_.showMaximized();
    window_.raise();
    window_.activateWindow();
    if (request.isEmpty())
        return;
    QString error;
    if (const auto url = FtpUrl::parse(request, error))
        open(*url);
    else
        view_.AppendLog(error + QStringLiteral("\r\n"));
}
