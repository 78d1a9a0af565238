#pragma once

#include "view/FileProperties.h"

#include <QDialog>

// "属性": name, type, location, size, times, permissions, owner and group of one local entry
// (and the target of a link), one labelled line each. The texts can be selected and copied.
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PropertiesDialog(const FileProperties& properties, QWidget* parent = nullptr);
};
