#pragma once

#include <QObject>
#include <QString>

class CftpView;
class QWidget;
class SessionController;
struct FtpUrl;

// Opens a session for an ftp:// address given at start-up or handed over by a later start:
// fills the connection fields as the user would, connects, and opens the address's folder
// once logged on. Lives on the GUI thread.
class UrlOpener : public QObject {
    Q_OBJECT
public:
    UrlOpener(QWidget& window, CftpView& view, SessionController& sessions,
              QObject* parent = nullptr);

    void open(const FtpUrl& url);
    // A request handed over by another start: brings the window to the front and opens the
    // address it carries, if any. An unusable address is noted in the log.
    void openRequest(const QString& request);

private:
    QWidget& window_;
    CftpView& view_;
    SessionController& sessions_;
};
