#include "view/gui/CDlg.h"

#include "accounts/gui/TagControl.h"

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

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    TagControl(ok, OkButtonId);
    TagControl(cancel, CancelButtonId);
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CDlg::reject);

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
