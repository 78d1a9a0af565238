#pragma once

#include <QDialog>

// The about box: the program's year and version.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
