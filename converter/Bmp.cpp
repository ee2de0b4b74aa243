#include "Bmp.h"

#include "WindowHelpers.h"
#include "StepSupport.h"

using strova::BmpError;

TBmpData::TBmpData(QObject* owner, const std::string& bitmapPath, bool japanese)
    : QObject(owner), japanese_(japanese), bitmapPath_(bitmapPath) {
    BmpFile = std::make_unique<strova::BmpReader>(bitmapPath_);
    OpenErrorMsg = strova::BmpErrorText(BmpError::Open, bitmapPath_, {}, BmpFile->SystemError());
    ReadErrorMsg = strova::BmpErrorText(BmpError::Read, bitmapPath_, {});
    FileLine = strova::BitmapFileLine(bitmapPath_);
    if (BmpFile->Error() == BmpError::Open) ShowOpenError();
    BmpDataCreate();
}

TBmpData::~TBmpData() { BmpDataDestroy(); }

void TBmpData::BmpDataCreate() {
    if (!BmpFile) return;
    FileHeader = BmpFile->FileHeader();
    InfoHeader = BmpFile->InfoHeader();
    Rows = BmpFile->Rows();
    Identity = BmpFile->Identity();
    const BmpError error = BmpFile->Error();
    if (error == BmpError::Read) ShowReadError();
    if (error == BmpError::Not24Bit) ShowNot24BitError();
    if (error == BmpError::Compressed || error == BmpError::BadSize || error == BmpError::TooLarge) ShowRefusal(error);
}

void TBmpData::BmpDataDestroy() { BmpFile.reset(); }

void TBmpData::ScanGrayPixels(const std::string& tmpPath, QProgressBar* progressBar) {
    if (Ok != 1) return;
    strova::BarProgress progress(progressBar);
    const BmpError error = BmpFile->ScanGrayPixels(tmpPath, progress);
    GrayCount = BmpFile->GrayCount();
    PixelIdentity = BmpFile->PixelFileIdentity();
    if (error == BmpError::Read) ShowReadError();
    if (error == BmpError::TempOpen) ShowTempOpenError(tmpPath);
    if (error == BmpError::TempWrite)
        ShowError(strova::BmpErrorText(error, bitmapPath_, tmpPath, BmpFile->SystemError()));
    if (error == BmpError::None && GrayCount == 0) ShowRefusal(BmpError::NoGray);
}

void TBmpData::LogBitmapInfo(QPlainTextEdit* logMemo) { strova::AppendLines(logMemo, BmpFile->InfoLines()); }

void TBmpData::ShowOpenError() { ShowError(OpenErrorMsg); }
void TBmpData::ShowReadError() { ShowError(ReadErrorMsg); }
void TBmpData::ShowNot24BitError() { ShowError(strova::BmpErrorText(BmpError::Not24Bit, bitmapPath_, {})); }
void TBmpData::ShowTempOpenError(const std::string& tmpPath) {
    ShowError(strova::BmpErrorText(BmpError::TempOpen, bitmapPath_, tmpPath));
}

void TBmpData::ShowRefusal(BmpError error) {
    ShowError(strova::BmpRefusalText(error, bitmapPath_, InfoHeader, japanese_));
}

void TBmpData::ShowError(const std::string& text) {
    Ok = 0;
    strova::ShowErrorBox(strova::Text(text));
}
