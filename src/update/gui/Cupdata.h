#pragma once

#include <QDialog>
#include <QString>

class QRadioButton;

// "更新设置": the update mode as three choices, read from and written to ftp.ini.
class Cupdata : public QDialog {
    Q_OBJECT
public:
    static constexpr int AutomaticId = 1119;
    static constexpr int NotifyId = 1120;
    static constexpr int NeverId = 1121;

    Cupdata(QString configPath, QWidget* parent = nullptr);

    // The mode of the selected choice.
    int selectedMode() const;

public Q_SLOTS:
    void accept() override;

private:
    QRadioButton* addChoice(int id, const QString& text);
    void showStoredMode();

    const QString configPath_;
    QRadioButton* automatic_;
    QRadioButton* notify_;
    QRadioButton* never_;
};
