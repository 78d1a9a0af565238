#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QSpinBox;

// "限速设置": the download and upload limits for all transfers together, in kB/s (0: none),
// read from and written to ftp.ini. After OK the new limits are handed to apply at once.
class SpeedLimitDialog : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<void(int downloadLimit, int uploadLimit)>;

    SpeedLimitDialog(QString configPath, Apply apply, QWidget* parent = nullptr);

    QSpinBox* downloadBox() const { return download_; }
    QSpinBox* uploadBox() const { return upload_; }
    // Why the last OK did not close the dialog; "" otherwise.
    QString problem() const;

public Q_SLOTS:
    void accept() override;

private:
    QSpinBox* addLimitBox();

    const QString configPath_;
    const Apply apply_;
    QSpinBox* download_;
    QSpinBox* upload_;
    QLabel* problem_;
};
