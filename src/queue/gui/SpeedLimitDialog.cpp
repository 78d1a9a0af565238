#include "queue/gui/SpeedLimitDialog.h"

#include "config/Configuration.h"
#include "platform/gui/DialogButtons.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <utility>

namespace {
constexpr int OkButtonId = 1;
constexpr int CancelButtonId = 2;
} // namespace

SpeedLimitDialog::SpeedLimitDialog(QString configPath, Apply apply, QWidget* parent)
    : QDialog(parent), configPath_(std::move(configPath)), apply_(std::move(apply)),
      download_(addLimitBox()), upload_(addLimitBox()), problem_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("限速设置"));
    const TransferSettings stored = ReadTransferSettings(configPath_);
    download_->setValue(stored.downloadLimit);
    upload_->setValue(stored.uploadLimit);
    problem_->setVisible(false);

    auto* limits = new QFormLayout;
    limits->addRow(QStringLiteral("下载限速:"), download_);
    limits->addRow(QStringLiteral("上传限速:"), upload_);
    const auto [ok, cancel] = AddDialogButtons(this, OkButtonId, CancelButtonId);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(limits);
    layout->addWidget(new QLabel(QStringLiteral("0 表示不限速，所有传送共用"), this));
    layout->addWidget(problem_);
    layout->addLayout(buttons);
}

QSpinBox* SpeedLimitDialog::addLimitBox()
{
    auto* box = new QSpinBox(this);
    box->setRange(0, MaxSpeedLimit);
    box->setSuffix(QStringLiteral(" kB/s"));
    box->setSpecialValueText(QStringLiteral("不限速"));
    box->setAccelerated(true);
    return box;
}

QString SpeedLimitDialog::problem() const
{
    return problem_->isHidden() ? QString() : problem_->text();
}

// Limits that did not reach ftp.ini are not applied either: the next transfer would read the
// old ones back.
void SpeedLimitDialog::accept()
{
    if (!StoreSpeedLimits(configPath_, download_->value(), upload_->value())) {
        problem_->setText(QStringLiteral("无法写入 ") + configPath_);
        problem_->setVisible(true);
        return;
    }
    if (apply_)
        apply_(download_->value(), upload_->value());
    QDialog::accept();
}
