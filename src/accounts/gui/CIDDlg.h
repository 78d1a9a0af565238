#pragma once

#include <QDialog>

class Prompt;
class QLineEdit;
class QShowEvent;

// "账号信息": edits one account. The values are kept between uses: each showing starts from the
// values last accepted (or set), and OK takes the typed values only when all of them are valid.
class CIDDlg : public QDialog {
    Q_OBJECT
public:
    explicit CIDDlg(Prompt& prompt, QWidget* parent = nullptr);

    void setAccount(const QString& server, int port, const QString& user, const QString& password);
    QString server() const { return server_; }
    int port() const { return port_; }
    QString user() const { return user_; }
    QString password() const { return password_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* addEdit(int id, int width);
    void showValues();
    bool readPort(int& port);
    QString invalidValueMessage(const QString& server, int port, const QString& user,
                                const QString& password) const;

    Prompt& prompt_;
    QLineEdit* serverEdit_;
    QLineEdit* portEdit_;
    QLineEdit* userEdit_;
    QLineEdit* passwordEdit_;
    QString server_;
    int port_ = 21;
    QString user_;
    QString password_;
};
