#pragma once

#include "platform/gui/TagControl.h"

#include <QDialog>
#include <QPushButton>

// The "确定" and "取消" buttons of the program's dialogs, tagged with their control ids: OK is the
// default button and accepts the dialog, Cancel rejects it. The caller places them.
struct DialogButtons {
    QPushButton* ok;
    QPushButton* cancel;
};

inline DialogButtons AddDialogButtons(QDialog* dialog, int okId, int cancelId)
{
    auto* ok = new QPushButton(QStringLiteral("确定"), dialog);
    auto* cancel = new QPushButton(QStringLiteral("取消"), dialog);
    TagControl(ok, okId);
    TagControl(cancel, cancelId);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return {ok, cancel};
}
