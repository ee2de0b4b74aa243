// The version window: the program's picture with an OK button; a click on
// either closes it.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TVerInfo : public QDialog {
    Q_OBJECT
public:
    TVerInfo(QWidget* owner, bool jpMode);

    QFrame* Panel;
    QLabel* Image;
    QPushButton* OkBtn;

    void OkBtnClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
