// The map-bounds dialog: the user gives the longitude and latitude of the
// gray map's bottom-left and top-right corners.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;

class TInputDialog : public QDialog {
    Q_OBJECT
public:
    TInputDialog(QWidget* owner, int width, int height, bool japanese);

    bool JPMode;
    bool Validating[4] = {false, false, false, false};
    QString LastValidText[4];
    QString MessageText;
    double LeftLon = 0.0;
    double BottomLat = 0.0;
    double RightLon = 0.0;
    double TopLat = 0.0;
    int MapWidth;
    int MapHeight;

    QLabel* Image;
    QLabel* InstLbl;
    QLabel* WidthLbl;
    QLabel* WidthTxt;
    QLabel* UnitLbl1;
    QLabel* HeightLbl;
    QLabel* HeightTxt;
    QLabel* Unitlbl2;
    QGroupBox* GroupBox1;
    QLabel* LongitLbl1;
    QLineEdit* LongitEd1;
    QLabel* LatitLbl1;
    QLineEdit* LatitEd1;
    QGroupBox* GroupBox2;
    QLabel* LongitLbl2;
    QLineEdit* LongitEd2;
    QLabel* LatitLbl2;
    QLineEdit* LatitEd2;
    QLabel* NoteLbl;
    QPushButton* BBtnOk;
    QPushButton* BBtnCancel;

    void FormCreate();
    // Returns false when the key was dropped.
    bool EditKeyPress(QLineEdit* sender, QChar key);
    void EditChange(QLineEdit* sender);
    bool ValidateEditText(int index);
    void EditExit(QLineEdit* sender);
    void OkBtnClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    QLineEdit* Edit(int index) const;
};
