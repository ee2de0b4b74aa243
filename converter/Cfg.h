// The third step's data module: for every gray pixel the ten nearest stations
// of the *.ame file, written to the *.cfg file through the step's transaction.
// The computation runs on worker threads while the windows stay live; failures
// are reported here with the caption "CfgData Error" and the driver reads only
// Ok.
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

#include "core/CfgCore.h"

class QProgressBar;

class TCfgData : public QObject {
    Q_OBJECT
public:
    // `grayCount`: the gray pixels step 1 wrote to the pixel file; `files`:
    // the step's transaction, whose output 0 is the *.cfg file.
    TCfgData(QObject* owner, const std::string& ameFileName, const std::string& cfgFileName,
             const std::string& tmpFileName, int stationCount, QProgressBar* progressBar, std::uint32_t grayCount,
             strova::StepTransaction& files);
    ~TCfgData() override;

    QProgressBar* ProgressBar;
    int StationCount;
    int Ok = 1;

    void CfgDataDestroy();
    void FindAdjacentStations();

private:
    void ShowError(const std::string& text);

    std::unique_ptr<strova::CfgRun> run_;
};
