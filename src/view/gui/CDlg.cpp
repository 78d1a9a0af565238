#include "view/gui/CDlg.h"

#include "platform/gui/DialogButtons.h"
#include "platform/gui/TagControl.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {
constexpr int OkButtonId = 1;
constexpr int CancelButtonId = 8;
constexpr int EditId = 1002;
constexpr int EditMinimumWidth = 240;
} // namespace

CDlg::CDlg(QWidget* parent) : QDialog(parent), edit_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("变更信息"));
    TagControl(edit_, EditId);
    edit_->setMinimumWidth(EditMinimumWidth);

    const auto [ok, cancel] = AddDialogButtons(this, OkButtonId, CancelButtonId);
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(edit_, 0, 0, 1, 2);
    grid->addWidget(ok, 1, 0, Qt::AlignHCenter);
    grid->addWidget(cancel, 1, 1, Qt::AlignHCenter);
}

void CDlg::showEvent(QShowEvent* event)
{
    edit_->setText(text_);
    edit_->selectAll();
    edit_->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

void CDlg::accept()
{
    text_ = edit_->text();
    QDialog::accept();
}
