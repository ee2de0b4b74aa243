// The self-closing splash window: shown modally, it ends its modal state by
// itself once its display time has passed since it was shown.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QTimer;

class TFmSplDlg2 : public QDialog {
    Q_OBJECT
public:
    explicit TFmSplDlg2(QWidget* owner);

    QFrame* SplashFrame;
    QLabel* SplashImg;
    QTimer* Timer;

    void FormShow();
    void CloseMe();

    int DisplayTime() const { return displayTime_; }

protected:
    void showEvent(QShowEvent* event) override;
    // Only the timer ends it: Escape and the window manager's close do not.
    void reject() override {}

private:
    int displayTime_;  // milliseconds
};
