#include "app/gui/CAboutDlg.h"

#include "app/gui/CaptionWidth.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于 KEVRA"));
    auto* text = new QLabel(QStringLiteral("2014 VER:1.0版"));
    text->setObjectName(QStringLiteral("versionText"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    // Sized to its short text alone, the box made the window manager cut its title.
    const QMargins margins = layout->contentsMargins();
    layout->addItem(new QSpacerItem(CaptionWidth(windowTitle()) - margins.left() - margins.right(),
                                    0, QSizePolicy::Fixed, QSizePolicy::Minimum));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
