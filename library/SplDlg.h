// The modeless splash window, and the layout both splash windows share.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;

namespace vorbel {

// The splash layout: a frameless 328 x 248 window centred on the screen, a
// bevelled panel filling it and the 320 x 240 picture inside the panel.
struct SplashLayout {
    QFrame* frame;
    QLabel* image;
};
SplashLayout BuildSplashLayout(QDialog* form);

}  // namespace vorbel

class TFmSplDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFmSplDlg(QWidget* owner);

    QFrame* SplashFrame;
    QLabel* SplashImg;

protected:
    // Nothing on a splash window answers the user: Escape and the window
    // manager's close leave it on the screen.
    void reject() override {}
};
