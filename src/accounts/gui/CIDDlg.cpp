#include "accounts/gui/CIDDlg.h"

#include "accounts/AccountCommands.h"
#include "accounts/AccountRecord.h"
#include "ftp/ServerAddress.h"
#include "platform/Prompt.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/TagControl.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {

constexpr int OkButtonId = 1;
constexpr int CancelButtonId = 2;
constexpr int ServerEditId = 1003;
constexpr int PortEditId = 1007;
constexpr int UserEditId = 1009;
constexpr int PasswordEditId = 1010;
constexpr int HighestPort = 65535;

} // namespace

CIDDlg::CIDDlg(Prompt& prompt, QWidget* parent)
    : QDialog(parent), prompt_(prompt), serverEdit_(addEdit(ServerEditId, 153)),
      portEdit_(addEdit(PortEditId, 50)), userEdit_(addEdit(UserEditId, 114)),
      passwordEdit_(addEdit(PasswordEditId, 114))
{
    setWindowTitle(QStringLiteral("账号信息"));
    passwordEdit_->setEchoMode(QLineEdit::Password);

    const auto [ok, cancel] = AddDialogButtons(this, OkButtonId, CancelButtonId);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("服务器:"), this), 0, 0);
    grid->addWidget(serverEdit_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("用户名:"), this), 0, 2);
    grid->addWidget(userEdit_, 0, 3);
    grid->addWidget(ok, 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("端  口:"), this), 1, 0);
    grid->addWidget(portEdit_, 1, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("密  码:"), this), 1, 2);
    grid->addWidget(passwordEdit_, 1, 3);
    grid->addWidget(cancel, 1, 4);
    showValues();
}

QLineEdit* CIDDlg::addEdit(int id, int width)
{
    auto* edit = new QLineEdit(this);
    TagControl(edit, id);
    edit->setMinimumWidth(width);
    return edit;
}

void CIDDlg::setAccount(const QString& server, int port, const QString& user,
                        const QString& password)
{
    server_ = server;
    port_ = port;
    user_ = user;
    password_ = password;
    showValues();
}

void CIDDlg::showEvent(QShowEvent* event)
{
    // A window system restore must not undo what the user is typing.
    if (!event->spontaneous())
        showValues();
    QDialog::showEvent(event);
}

void CIDDlg::showValues()
{
    serverEdit_->setText(server_);
    portEdit_->setText(QString::number(port_));
    userEdit_->setText(user_);
    passwordEdit_->setText(password_);
}

void CIDDlg::accept()
{
    int port = 0;
    if (!readPort(port))
        return;
    const QString server = serverEdit_->text();
    const QString user = userEdit_->text();
    const QString password = passwordEdit_->text();
    const QString problem = invalidValueMessage(server, port, user, password);
    if (!problem.isEmpty()) {
        prompt_.tell(problem);
        return;
    }
    setAccount(server, port, user, password);
    QDialog::accept();
}

// Accepts a whole number from 0 to 65535 with optional surrounding blanks; anything else is
// reported and leaves the focus on the port.
bool CIDDlg::readPort(int& port)
{
    const QString text = portEdit_->text().trimmed();
    bool isNumber = !text.isEmpty();
    for (const QChar c : text)
        isNumber = isNumber && c >= u'0' && c <= u'9';
    const qulonglong value = isNumber ? text.toULongLong(&isNumber) : 0;
    if (isNumber && value <= HighestPort) {
        port = static_cast<int>(value);
        return true;
    }
    prompt_.tell(isNumber ? QStringLiteral("请输入一个介于 0 和 65535 之间的整数。")
                          : QStringLiteral("请输入一个整数。"));
    portEdit_->setFocus();
    portEdit_->selectAll();
    return false;
}

QString CIDDlg::invalidValueMessage(const QString& server, int port, const QString& user,
                                    const QString& password) const
{
    if (server.isEmpty())
        return QStringLiteral("服务器不能为空");
    if (port == 0)
        return QStringLiteral("端口不能为空");
    if (user.isEmpty())
        return QStringLiteral("用户名不能为空");
    if (password.isEmpty())
        return QStringLiteral("密码不能为空");
    const AccountRecord record{server, QString::number(port), user, password};
    if (record.hasUnstorableText())
        return UnstorableAccountMessage();
    // An account whose server text cannot be connected to is of no use saved.
    QString addressProblem;
    if (!ServerAddress::parse(server, addressProblem))
        return addressProblem;
    return {};
}
