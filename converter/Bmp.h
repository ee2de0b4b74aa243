// The first step's data module: it opens a bitmap, checks its headers, writes
// its gray pixels to the temporary pixel file and dumps its headers into the
// process log. Every failure, and a picture the later steps could not
// convert, is reported here; the driver reads only Ok.
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

#include "core/BmpCore.h"

class QPlainTextEdit;
class QProgressBar;

class TBmpData : public QObject {
    Q_OBJECT
public:
    // `japanese` picks the language of the messages that have one.
    TBmpData(QObject* owner, const std::string& bitmapPath, bool japanese = false);
    ~TBmpData() override;

    strova::BitmapFileHeader FileHeader{};
    strova::BitmapInfoHeader InfoHeader{};
    // The picture's width and height (rows, positive also when stored top-down).
    strova::PixelRows Rows{};
    // The bitmap file as it was read, for the next step to check it is still so.
    strova::FileIdentity Identity{};
    // The temporary pixel file as the scan wrote it, checked the same way.
    strova::FileIdentity PixelIdentity{};
    std::string OpenErrorMsg;
    std::string ReadErrorMsg;
    std::uint32_t GrayCount = 0;
    int Ok = 1;
    std::string FileLine;

    void BmpDataCreate();
    void BmpDataDestroy();
    // Leaves Ok at 0 on failure; the caller tests Ok afterwards.
    void ScanGrayPixels(const std::string& tmpPath, QProgressBar* progressBar);
    void LogBitmapInfo(QPlainTextEdit* logMemo);

    void ShowOpenError();
    void ShowReadError();
    void ShowNot24BitError();
    void ShowTempOpenError(const std::string& tmpPath);

private:
    void ShowError(const std::string& text);
    void ShowRefusal(strova::BmpError error);

    bool japanese_;
    std::string bitmapPath_;
    std::unique_ptr<strova::BmpReader> BmpFile;
};
