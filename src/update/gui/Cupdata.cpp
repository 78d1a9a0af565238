#include "update/gui/Cupdata.h"

#include "platform/gui/DialogButtons.h"
#include "platform/gui/TagControl.h"
#include "update/UpdateSettings.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace {
constexpr int OkButtonId = 1;
constexpr int CancelButtonId = 2;
} // namespace

Cupdata::Cupdata(QString configPath, QWidget* parent)
    : QDialog(parent), configPath_(std::move(configPath)),
      automatic_(addChoice(AutomaticId, QStringLiteral("自动检测更新"))),
      notify_(addChoice(NotifyId, QStringLiteral("有更新时通知我"))),
      never_(addChoice(NeverId, QStringLiteral("不进行自动检测")))
{
    setWindowTitle(QStringLiteral("更新设置"));
    const auto [ok, cancel] = AddDialogButtons(this, OkButtonId, CancelButtonId);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    for (QRadioButton* choice : {automatic_, notify_, never_})
        layout->addWidget(choice);
    layout->addLayout(buttons);
    showStoredMode();
}

QRadioButton* Cupdata::addChoice(int id, const QString& text)
{
    auto* choice = new QRadioButton(text, this);
    TagControl(choice, id);
    return choice;
}

void Cupdata::showStoredMode()
{
    switch (UpdateSettings::readMode(configPath_, 0)) {
    case UpdateSettings::Automatic:
        automatic_->setChecked(true);
        break;
    case UpdateSettings::Never:
        never_->setChecked(true);
        break;
    default:
        notify_->setChecked(true);
    }
}

int Cupdata::selectedMode() const
{
    if (automatic_->isChecked())
        return UpdateSettings::Automatic;
    return never_->isChecked() ? UpdateSettings::Never : UpdateSettings::Notify;
}

void Cupdata::accept()
{
    UpdateSettings::writeMode(configPath_, selectedMode());
    QDialog::accept();
}
