#include "Cfg.h"

#include "WindowHelpers.h"
#include "StepSupport.h"

TCfgData::TCfgData(QObject* owner, const std::string& ameFileName, const std::string& cfgFileName,
                   const std::string& tmpFileName, int stationCount, QProgressBar* progressBar,
                   std::uint32_t grayCount, strova::StepTransaction& files)
    : QObject(owner), ProgressBar(progressBar), StationCount(stationCount) {
    run_ = std::make_unique<strova::CfgRun>(ameFileName, cfgFileName, tmpFileName, stationCount, grayCount, files);
    // Each box names only the file it is about.
    for (const std::string& text : run_->OpenErrorTexts()) ShowError(text);
}

TCfgData::~TCfgData() { CfgDataDestroy(); }

void TCfgData::CfgDataDestroy() { run_.reset(); }

void TCfgData::FindAdjacentStations() {
    if (Ok != 1) return;
    strova::CfgError error = strova::CfgError::None;
    strova::RunWhileLive(ProgressBar, [&](strova::ProgressSink& progress) { error = run_->FindAdjacentStations(progress); });
    if (error != strova::CfgError::None) ShowError(run_->ErrorText());
}

void TCfgData::ShowError(const std::string& text) {
    Ok = 0;
    strova::App().MessageBox(strova::Text(text), "CfgData Error", platform::MB_ICONERROR);
}
