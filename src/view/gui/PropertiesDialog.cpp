#include "view/gui/PropertiesDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PropertiesDialog::PropertiesDialog(const FileProperties& properties, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(properties.name + QStringLiteral(" 属性"));
    auto* form = new QFormLayout;
    for (const FileProperties::Line& line : properties.lines()) {
        auto* value = new QLabel(line.value, this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setTextFormat(Qt::PlainText);
        form->addRow(line.label + QStringLiteral(":"), value);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}
