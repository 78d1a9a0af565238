#pragma once

#include <QDialog>

class QLineEdit;
class QShowEvent;

// "变更信息": asks for one line of text (a new name, a folder, a search prefix). The caller sets
// the text member, runs the dialog and, when it ends with OK, reads the member back; Cancel
// leaves the member as it was.
class CDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDlg(QWidget* parent = nullptr);

    void setText(const QString& text) { text_ = text; }
    QString text() const { return text_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* edit_;
    QString text_;
};
