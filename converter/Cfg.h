// The third step's data module: for every gray pixel the ten nearest stations
// of the *.ame file, written to the *.cfg file. The computation runs on worker
// threads while the windows stay live; failures are reported here with the
// caption "CfgData Error" and the driver reads only Ok.
#pragma once

#include <QObject>

#include <memory>
#include <string>

#include "core/CfgCore.h"

class QProgressBar;

class TCfgData : public QObject {
    Q_OBJECT
public:
    TCfgData(QObject* owner, const std::string& ameFileName, const std::string& cfgFileName,
             const std::string& tmpFileName, int stationCount, QProgressBar* progressBar);
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
