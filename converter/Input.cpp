#include "Input.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "StepSupport.h"
#include "WindowHelpers.h"
#include "platform/Exception.h"
#include "core/BoundsRules.h"

namespace {

const QString ZeroText = QStringLiteral("0.0");

QLabel* Label(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

// Keys the dialog itself acts on (default and cancel buttons, focus moves)
// and Delete, which edits without typing a character, never reach the
// edits' character filter.
bool IsDialogKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Tab ||
           key == Qt::Key_Backtab || key == Qt::Key_Delete;
}

}  // namespace

TInputDialog::TInputDialog(QWidget* owner, int width, int height, bool japanese)
    : QDialog(owner), JPMode(japanese), MapWidth(width), MapHeight(height) {
    MessageText = strova::Text(strova::InvalidBoundsMessage(JPMode));
    BuildLayout();
    FormCreate();
}

void TInputDialog::BuildLayout() {
    setFixedSize(353, 311);
    // A dialog does not take its owner's font; without its own it would show
    // the desktop's font, which in a Japanese session is wider and cuts texts.
    setFont(platform::FontInPoints("MS Sans Serif", 8));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    Image = new QLabel(this);
    Image->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(42, 42));
    Image->setFixedSize(42, 42);
    InstLbl = Label("Input data on configuration of the gray map.", this);
    WidthLbl = Label("Width: ", this);
    WidthTxt = Label(QString(), this);
    UnitLbl1 = Label("pixels", this);
    HeightLbl = Label("Height: ", this);
    HeightTxt = Label(QString(), this);
    Unitlbl2 = Label("pixels", this);
    for (QLabel* text : {WidthTxt, HeightTxt}) {
        text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        text->setStyleSheet("color: " + strova::Teal.name() + ";");
        text->setFont(QFont("Liberation Mono"));
    }

    GroupBox1 = new QGroupBox(" &Bottom Left ", this);
    platform::SetHint(GroupBox1, "(0, 0)| ");
    GroupBox2 = new QGroupBox(" &Top Right ", this);
    for (QGroupBox* box : {GroupBox1, GroupBox2}) box->installEventFilter(this);
    LongitLbl1 = Label("Longitude in deg.:", GroupBox1);
    LatitLbl1 = Label("Latitude in deg.:", GroupBox1);
    LongitLbl2 = Label("Longitude in deg.:", GroupBox2);
    LatitLbl2 = Label("Latitude in deg.:", GroupBox2);
    platform::SetHint(LongitLbl1, "左下の経度|");
    platform::SetHint(LatitLbl1, "左下の緯度|");
    platform::SetHint(LongitLbl2, "右上の経度|");
    platform::SetHint(LatitLbl2, "右上の緯度|");
    LongitEd1 = new QLineEdit(GroupBox1);
    LatitEd1 = new QLineEdit(GroupBox1);
    LongitEd2 = new QLineEdit(GroupBox2);
    LatitEd2 = new QLineEdit(GroupBox2);
    platform::SetHint(LongitEd1, "Range: [-180, 180]|");
    platform::SetHint(LatitEd1, "Range: [-90, 90] ");
    platform::SetHint(LongitEd2, "Range: [-180, 180]|");
    platform::SetHint(LatitEd2, "Range: [-90, 90]");
    for (int index = 0; index < 4; ++index) {
        QLineEdit* edit = Edit(index);
        platform::SetTag(edit, index);
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { EditChange(edit); });
    }

    NoteLbl = Label("Negative value means \"Western\" longitude or \"Southern\" latitude.", this);
    NoteLbl->setWordWrap(true);
    NoteLbl->setStyleSheet("color: #800000;");

    BBtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "&OK", this);
    BBtnOk->setDefault(true);
    BBtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "&CANCEL", this);
    connect(BBtnOk, &QPushButton::clicked, this, &TInputDialog::OkBtnClick);
    connect(BBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QGridLayout;
    top->addWidget(Image, 0, 0, 2, 1);
    top->addWidget(InstLbl, 0, 1, 1, 6);
    top->addWidget(WidthLbl, 1, 1);
    top->addWidget(WidthTxt, 1, 2);
    top->addWidget(UnitLbl1, 1, 3);
    top->addWidget(HeightLbl, 1, 4);
    top->addWidget(HeightTxt, 1, 5);
    top->addWidget(Unitlbl2, 1, 6);
    for (auto [box, lonLabel, lon, latLabel, lat] :
         {std::tuple{GroupBox1, LongitLbl1, LongitEd1, LatitLbl1, LatitEd1},
          std::tuple{GroupBox2, LongitLbl2, LongitEd2, LatitLbl2, LatitEd2}})
        strova::LabelledRows(box, {{lonLabel, lon}, {latLabel, lat}});
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BBtnOk);
    buttons->addWidget(BBtnCancel);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(GroupBox1);
    page->addWidget(GroupBox2);
    page->addWidget(NoteLbl);
    page->addLayout(buttons);

    setTabOrder(LongitEd1, LatitEd1);
    setTabOrder(LatitEd1, LongitEd2);
    setTabOrder(LongitEd2, LatitEd2);
    setTabOrder(LatitEd2, BBtnOk);
    setTabOrder(BBtnOk, BBtnCancel);
}

void TInputDialog::FormCreate() {
    setWindowTitle(strova::CaptionPrefix + "Input Dialog for Gray Map Configuration");
    if (JPMode) {
        NoteLbl->setFont(strova::JapaneseFont());
        NoteLbl->setText("経度の負値は西経，緯度の負値は南緯と解釈します．");
    } else {
        for (QLabel* label : {LongitLbl1, LongitLbl2, LatitLbl1, LatitLbl2}) platform::SetHint(label, QString());
    }
    WidthTxt->setText(
        strova::Text(strova::PixelCountText(static_cast<unsigned long>(static_cast<unsigned>(MapWidth)))));
    HeightTxt->setText(
        strova::Text(strova::PixelCountText(static_cast<unsigned long>(static_cast<unsigned>(MapHeight)))));
    for (int index = 0; index < 4; ++index) {
        Edit(index)->setText(ZeroText);
        LastValidText[index] = ZeroText;  // also when the text was "0.0" already and no change ran
    }
}

QLineEdit* TInputDialog::Edit(int index) const {
    QLineEdit* edits[4] = {LongitEd1, LatitEd1, LongitEd2, LatitEd2};
    return edits[index];
}

bool TInputDialog::EditKeyPress(QLineEdit*, QChar key) {
    char c = key.unicode() < 128 ? static_cast<char>(key.unicode()) : '\0';
    if ((c >= '0' && c <= '9') || c == '\b' || c == '-' || c == '.') return true;
    QApplication::beep();
    return false;
}

void TInputDialog::EditChange(QLineEdit* sender) {
    int index = platform::Tag(sender);
    if (Validating[index]) return;
    Validating[index] = true;
    ValidateEditText(index);
}

bool TInputDialog::ValidateEditText(int index) {
    QLineEdit* edit = Edit(index);
    QString text = edit->text();
    if (text.isEmpty()) text = ZeroText;
    bool valid = strova::IsBoundsText(text.toStdString());
    if (valid) {
        LastValidText[index] = text;
    } else {
        int caret = strova::RestoredCaret(edit->cursorPosition(), text.size(), LastValidText[index].size());
        edit->setText(LastValidText[index]);
        edit->setCursorPosition(caret);
    }
    Validating[index] = false;
    return valid;
}

void TInputDialog::EditExit(QLineEdit* sender) {
    int index = platform::Tag(sender);
    auto value = strova::ParseBoundsValue(sender->text().toStdString());
    if (!value || !strova::IsInRange(index, *value)) {
        QApplication::beep();
        sender->setText(ZeroText);
    }
}

void TInputDialog::OkBtnClick() {
    double* bounds[4] = {&LeftLon, &BottomLat, &RightLon, &TopLat};
    for (int index = 0; index < 4; ++index) {
        std::string text = Edit(index)->text().toStdString();
        auto value = strova::ParseBoundsValue(text);
        if (!value) {
            strova::App().ShowException(platform::Exception(strova::NotAFloatMessage(text)));
            return;
        }
        *bounds[index] = *value;
    }
    if (LeftLon >= RightLon || BottomLat >= TopLat) {
        strova::App().MessageBox(MessageText, strova::ErrorCaption, platform::MB_ICONWARNING);
        return;
    }
    MessageText = strova::Text(strova::BoundsConfirmation(LeftLon, BottomLat, RightLon, TopLat, JPMode));
    strova::App().MessageBox(MessageText, strova::CaptionPrefix + "Confirmation", platform::MB_ICONQUESTION);
    accept();
}

bool TInputDialog::eventFilter(QObject* watched, QEvent* event) {
    // A group's accelerator goes to its longitude, the first edit of the
    // group in the tab order, from wherever the focus was: Qt would go back
    // to the edit of the group that had the focus last.
    if (event->type() == QEvent::Shortcut && (watched == GroupBox1 || watched == GroupBox2)) {
        (watched == GroupBox1 ? LongitEd1 : LongitEd2)->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!IsDialogKey(key->key()) && !key->text().isEmpty() && !EditKeyPress(edit, key->text().at(0))) return true;
    } else if (edit && event->type() == QEvent::FocusIn) {
        // Typing replaces the whole bound, as in any dialog; a click puts
        // the caret where it lands, and a context menu leaves the selection.
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason) edit->selectAll();
    } else if (edit && event->type() == QEvent::FocusOut) {
        // Only a move to another control of this dialog counts as leaving the
        // edit; a message box or another window taking the focus does not.
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) EditExit(edit);
    }
    return QDialog::eventFilter(watched, event);
}
