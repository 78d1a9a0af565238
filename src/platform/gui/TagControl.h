#pragma once

#include <QString>
#include <QWidget>

// Marks a control with its numeric id the way every window of the program does: the id in the
// "controlId" property and the object name "ctl" followed by the id.
inline void TagControl(QWidget* control, int id)
{
    control->setProperty("controlId", id);
    control->setObjectName(QStringLiteral("ctl%1").arg(id));
}
